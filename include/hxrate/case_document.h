// hxrate/case_document.h: a case as a versioned JSON document: the values of
// the 21 case lines by name, each with its SI unit, and the extensions.
// The schema is docs/case-document.schema.json, the rules docs/case-document.md.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "hxrate/case.h"
#include "hxrate/exchanger.h"
#include "hxrate/extensions.h"

namespace hxrate {

// The version this library writes and the only one it reads.
inline constexpr int caseDocumentVersion = 1;

// The bounds of a document that is read: a longer text, deeper nesting or
// more values are refused before any of it is taken as a case. A case
// document is a few kilobytes, four levels deep, with a few hundred values.
inline constexpr std::size_t caseDocumentLimitBytes = std::size_t{16} << 20;  // 16 MiB
inline constexpr int caseDocumentDepthLimit = 100;  // objects and arrays inside each other
inline constexpr std::size_t caseDocumentValueLimit = 10000;  // values of any kind, keys aside

// Reads a case document from its JSON text (UTF-8, a byte-order mark
// before it allowed); `sourceName` names it in diagnostics. A quantity may
// be given in any unit of its field's dimension (mm, bar, cP, t/h, degF,
// Btu/(h ft2 degF); a volumetric flow also as a mass flow, through the
// stream's density) and is converted to SI; a value in the SI unit is kept
// as written. Throws InputError naming the field (its JSON path) or the
// line and column for text that is not JSON or not UTF-8, a text beyond the
// limits above, a number beyond a double, a required field left out, a
// field of the wrong type, a unit that is not one of the field's dimension,
// or a field the version does not have; ResourceError when the machine has
// no memory for it.
CaseDocument parseCaseDocument(std::string_view json,
                               std::string_view sourceName = "case document");

// The document of a case and its extensions: every case value, and the
// extensions that differ from their defaults. Reading it back gives the same
// Case and Extensions bit for bit (names shorter than ten characters come
// back blank-filled to ten, as a case file gives them). Throws
// InvalidArgument for a value JSON cannot carry (an infinity or NaN, text
// that is not UTF-8).
std::string caseDocumentJson(const Case& c, const Extensions& extensions = {});
// The same for a whole document: also each fluid's property model that is
// not constant and a properties_at other than "inlet" (the document's
// `given` is not written: every quantity is written in SI).
std::string caseDocumentJson(const CaseDocument& document);

// Whether `text` is a case document rather than a 21-line case file: its
// first character other than white space is '{' (a case file starts with
// the label of case line 1). A byte-order mark, and a text in UTF-16 or
// UTF-32, are looked through, so that parseCaseDocument() can name the
// encoding of a document saved in one instead of reading it as a case file.
bool looksLikeCaseDocument(std::string_view text);

}  // namespace hxrate
