// hxrate/case_document.h: a case as a versioned JSON document: the values of
// the 21 case lines by name, each with its SI unit, and the extensions.
// The schema is docs/case-document.schema.json, the rules docs/case-document.md.
#pragma once

#include <string>
#include <string_view>

#include "hxrate/case.h"
#include "hxrate/extensions.h"

namespace hxrate {

// The version this library writes and the only one it reads.
inline constexpr int caseDocumentVersion = 1;

// What a case document holds.
struct CaseDocument {
    Case input;             // the values of the 21 case lines
    Extensions extensions;  // empty where the document gives none
};

// Reads a case document from its JSON text; `sourceName` names it in
// diagnostics. Throws InputError naming the field for text that is not
// JSON, a required field left out, a field of the wrong type, a unit other
// than the field's SI unit, or a field the version does not have.
CaseDocument parseCaseDocument(std::string_view json,
                               std::string_view sourceName = "case document");

// The document of a case and its extensions: every case value, and the
// extensions that differ from their defaults. Reading it back gives the same
// Case and Extensions bit for bit (names shorter than ten characters come
// back blank-filled to ten, as a case file gives them). Throws
// InvalidArgument for a value JSON cannot carry (an infinity or NaN, text
// that is not UTF-8).
std::string caseDocumentJson(const Case& c, const Extensions& extensions = {});

// Whether `text` is a case document rather than a 21-line case file: its
// first character other than white space is '{' (a case file starts with
// the label of case line 1).
bool looksLikeCaseDocument(std::string_view text);

}  // namespace hxrate
