// What every JSON document of the library shares (the case document, the
// design problem, the measured exchanger): the checks of the text before
// it is parsed, the tree built so that each refusal names its place, a
// reader of typed fields and quantities with units that names the field,
// the offending text and the reason, and the writing of quantities.
// Internal to the format layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "hxrate/errors.h"
#include "hxrate/exchanger.h"
#include "hxrate/fluid_properties.h"

namespace hxrate::document {

using Json = nlohmann::ordered_json;

constexpr std::size_t excerptBytes = 40;  // of the document's text, in a message
constexpr std::size_t nameWidth = 10;     // a name as the case file gives it

// `raw` as a message may carry it: at most `limit` bytes of it, printable
// ASCII as it is, quotes and backslashes escaped, every other byte as \xHH,
// and "..." where it was cut. Messages land in files other users read.
std::string shown(std::string_view raw, std::size_t limit = excerptBytes);

// How messages name a document of kind `kind` ("case document"): by the
// source name the caller gave, or plainly when it gave none of its own.
std::string documentNamed(std::string_view kind, const std::string& source);

// The encoding of a text, told by its byte-order mark or, without one, by
// where NULs fall among its first four bytes (JSON text begins with two
// ASCII characters, so UTF-16 and UTF-32 show NULs beside them).
struct Encoding {
    const char* name;  // null for UTF-8
    std::size_t unit;  // bytes a character takes (ASCII ones)
    bool bigEndian;
    std::size_t markBytes;  // of the byte-order mark, 0 without one
};
Encoding encodingOf(std::string_view text);

// The tree of a document's text, after the checks that keep the parser
// safe (a text beyond caseDocumentLimitBytes, in UTF-16 or UTF-32, nested
// deeper than caseDocumentDepthLimit) and with every refusal of the parse
// naming where it stands: a key given twice in one object, more values than
// caseDocumentValueLimit, a number beyond a double, text that is not JSON.
// Throws InputError.
Json parseTree(std::string_view json, std::string_view kind, const std::string& source);

// Runs `read` (which parses and reads a document of kind `kind`), turning
// a lack of memory into ResourceError and any parser exception that slipped
// through into InputError, so that nothing but the library's errors leaves.
template <class Read>
auto readGuarded(std::string_view kind, const std::string& source, Read&& read) {
    try {
        return read();
    } catch (const Error&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw ResourceError(errorNumber::storageRefused,
                            documentNamed(kind, source) + ": not enough memory to read it");
    } catch (const std::length_error&) {
        throw ResourceError(errorNumber::storageRefused,
                            documentNamed(kind, source) + ": not enough memory to read it");
    } catch (const Json::exception& e) {
        // Not met by any document the checks let through; kept so that no
        // parser exception leaves as anything but an InputError.
        throw InputError(
            errorNumber::malformedNumber,
            documentNamed(kind, source) + ": cannot be read (" + shown(e.what(), 200) + ")",
            source);
    }
}

// Reads the fields of a parsed document; every refusal is an InputError
// "<document named>: <path>: <reason>". `prefix` is the path of the part
// this reader reads (a case document inside another document), put before
// every path it names.
class Reader {
  public:
    // `fieldsOf` says what unknown fields are not fields of ("version 1 of
    // the case document"); quantities given in units other than SI are
    // added to `given`.
    Reader(std::string_view kind, std::string_view source, std::string fieldsOf,
           std::vector<GivenQuantity>& given, std::string prefix = {});

    [[noreturn]] void refuse(const std::string& path, const std::string& what, int caseLine = 0,
                             int code = errorNumber::malformedNumber) const;

    // The member `name` of `object` at `path`, refused when left out.
    const Json& member(const Json& object, const std::string& path, std::string_view name,
                       int caseLine = 0) const;
    // Every key of `object` must be one of `known`.
    void onlyKnown(const Json& object, const std::string& path,
                   const std::vector<std::string_view>& known) const;
    const Json& object(const Json& j, const std::string& path, int caseLine = 0) const;
    const Json& array(const Json& j, const std::string& path) const;
    double real(const Json& j, const std::string& path, int caseLine = 0) const;
    std::int32_t integer(const Json& j, const std::string& path, int caseLine = 0) const;
    // A string, blank-filled to nameWidth when shorter.
    std::string text(const Json& j, const std::string& path, int caseLine = 0) const;
    // {"value": number, "unit": "<a unit of the field's dimension>"}: the
    // value in the field's SI unit `unit`. A volumetric flow may be given as
    // a mass flow when `density` (the stream's, kg/m3) is at hand.
    double quantity(const Json& j, const std::string& path, std::string_view unit, int caseLine = 0,
                    const double* density = nullptr) const;
    // {"values": [numbers], "unit": "..."}: each value in the SI unit
    // `unit`; an empty list is refused.
    std::vector<double> quantities(const Json& j, const std::string& path,
                                   std::string_view unit) const;

    // The document's "format" and "version" members of `doc` (at `top`):
    // exactly `format` and `version`, else refused naming them.
    void requireFormat(const Json& doc, const std::string& top, std::string_view format,
                       int version) const;

    // The quantities given in units other than SI, so far.
    std::vector<GivenQuantity>& given() const { return *given_; }

    static std::string join(const std::string& path, std::string_view name);
    static std::string typeOf(const Json& j) { return j.type_name(); }

  private:
    // `value` given in `unit`, in the SI unit `siUnit`, or why not.
    double converted(double value, const std::string& given, const std::string& path,
                     std::string_view siUnit, int caseLine, const double* density) const;

    std::string source_;
    std::string named_;  // "case document \"x.json\""
    std::string fieldsOf_;
    std::vector<GivenQuantity>* given_;
    std::string prefix_;
};

// A fluid's property model: "model" (constant, table or water), a table's
// rows ("table") or the water's pressure ("pressure"), beside the fluid's
// other fields in the object `fluid` at `path`; `stream` ("tube", "hot")
// names the stream in the model's own refusals.
PropertyModel readPropertyModel(const Reader& r, const Json& fluid, const std::string& path,
                                std::string_view stream);

// "inlet", "mean" or "incremental" at `path`.
PropertiesAt readPropertiesAt(const Reader& r, const Json& j, const std::string& path);

// The case document `doc` (its "format", "version", "case", "extensions"
// and "properties_at"); `top` is the path of the document itself in
// messages, "(top level)" for a document of its own.
CaseDocument readCaseDocument(const Reader& r, const Json& doc, const std::string& top);

// The vibration screening's inputs of the object `j` at "vibration".
VibrationInput readVibration(const Reader& r, const Json& j);

// ---- writing ----------------------------------------------------------------

// A value a document of kind `kind` cannot carry: InvalidArgument naming
// its path.
[[noreturn]] void cannotWrite(std::string_view kind, const std::string& path,
                              const std::string& what);
// {"value": value, "unit": unit}; an infinity or NaN is refused.
Json quantityJson(double value, std::string_view unit, const std::string& path,
                  std::string_view kind);
// A string, refused unless it is UTF-8.
Json textJson(const std::string& s, const std::string& path, std::string_view kind);
// A fluid's property model beside its other fields in `fluid`, at `path`;
// nothing for a constant one.
void modelJson(const PropertyModel& m, const std::string& path, Json& fluid, std::string_view kind);
// The vibration inputs that differ from their defaults, as an object.
Json vibrationJson(const VibrationInput& v, std::string_view kind);

}  // namespace hxrate::document
