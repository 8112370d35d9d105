// The case document: a case and its extensions as versioned JSON. Reading
// and writing both walk the one table of case fields (hxrate/case_fields.h),
// so the two cannot drift apart.
#include "hxrate/case_document.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <stdexcept>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "format/case_reader.h"
#include "format/units.h"
#include "hxrate/case_fields.h"
#include "hxrate/errors.h"
#include "hxrate/fluid_properties.h"

namespace hxrate {
namespace {

using Json = nlohmann::ordered_json;

constexpr std::string_view documentFormat = "hxrate-case";
constexpr std::size_t nameWidth = 10;  // a name as the case file gives it
// The keys of a fluid's property model, beside its case values.
constexpr std::array<std::string_view, 3> modelKeys = {"model", "table", "pressure"};

// ---- reading ----------------------------------------------------------------

constexpr std::size_t excerptBytes = 40;  // of the document's text, in a message
constexpr std::size_t pathBytes = 80;     // of a JSON path, whose keys are the document's

// `raw` as a message may carry it: at most `limit` bytes of it, printable
// ASCII as it is, quotes and backslashes escaped, every other byte as \xHH,
// and "..." where it was cut. Messages land in files other users read.
std::string shown(std::string_view raw, std::size_t limit = excerptBytes) {
    std::string out;
    for (std::size_t i = 0; i < raw.size() && i < limit; ++i) {
        const auto b = static_cast<unsigned char>(raw[i]);
        if (b == '"' || b == '\\') {
            out += '\\';
            out += static_cast<char>(b);
        } else if (b == '\n') {
            out += "\\n";
        } else if (b == '\t') {
            out += "\\t";
        } else if (b == '\r') {
            out += "\\r";
        } else if (b >= 0x20 && b < 0x7f) {
            out += static_cast<char>(b);
        } else {
            constexpr const char* hex = "0123456789abcdef";
            out += "\\x";
            out += hex[b >> 4];
            out += hex[b & 0xf];
        }
    }
    if (raw.size() > limit) out += "...";
    return out;
}

// How messages name the document: by the source name the caller gave, or
// plainly when it gave none of its own.
std::string documentNamed(const std::string& source) {
    if (source.empty() || source == "case document") return "case document";
    return "case document \"" + source + "\"";
}

// Where byte `offset` of `text` stands, counted from 1.
std::pair<std::uint64_t, std::uint64_t> lineAndColumn(std::string_view text, std::size_t offset) {
    std::uint64_t line = 1, column = 1;
    for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return {line, column};
}

// A refusal of the text at byte `offset`, giving its line, column and an
// excerpt from there.
[[noreturn]] void refuseAt(std::string_view text, std::size_t offset, const std::string& reason,
                           const std::string& source, int code = errorNumber::malformedNumber) {
    auto [line, column] = lineAndColumn(text, offset);
    std::string_view from = offset < text.size() ? text.substr(offset) : std::string_view{};
    throw InputError(code, reason, source, 0, line, column, shown(from), !from.empty());
}

// The encoding of a text, told by its byte-order mark or, without one, by
// where NULs fall among its first four bytes (JSON text begins with two
// ASCII characters, so UTF-16 and UTF-32 show NULs beside them).
struct Encoding {
    const char* name;  // null for UTF-8
    std::size_t unit;  // bytes a character takes (ASCII ones)
    bool bigEndian;
    std::size_t markBytes;  // of the byte-order mark, 0 without one
};

Encoding encodingOf(std::string_view text) {
    auto at = [&](std::size_t i) {
        return i < text.size() ? static_cast<unsigned char>(text[i]) : 0x100u;
    };
    if (at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) return {nullptr, 1, false, 3};
    if (at(0) == 0x00 && at(1) == 0x00 && at(2) == 0xFE && at(3) == 0xFF)
        return {"UTF-32 (big-endian)", 4, true, 4};
    if (at(0) == 0xFF && at(1) == 0xFE && at(2) == 0x00 && at(3) == 0x00)
        return {"UTF-32 (little-endian)", 4, false, 4};
    if (at(0) == 0xFE && at(1) == 0xFF) return {"UTF-16 (big-endian)", 2, true, 2};
    if (at(0) == 0xFF && at(1) == 0xFE) return {"UTF-16 (little-endian)", 2, false, 2};
    if (at(0) == 0x00 && at(1) == 0x00 && at(2) == 0x00 && at(3) < 0x100)
        return {"UTF-32 (big-endian)", 4, true, 0};
    if (at(0) != 0x00 && at(0) < 0x100 && at(1) == 0x00 && at(2) == 0x00 && at(3) == 0x00)
        return {"UTF-32 (little-endian)", 4, false, 0};
    if (at(0) == 0x00 && at(1) < 0x100) return {"UTF-16 (big-endian)", 2, true, 0};
    if (at(0) != 0x00 && at(0) < 0x100 && at(1) == 0x00)
        return {"UTF-16 (little-endian)", 2, false, 0};
    return {nullptr, 1, false, 0};
}

// Refuses what cannot be parsed safely, before the parser sees it: a text
// beyond caseDocumentLimitBytes, one in UTF-16 or UTF-32, and objects and
// arrays nested deeper than caseDocumentDepthLimit (the parsed tree is
// copied and compared recursively, so a deep one would exhaust the stack).
// Returns the text after a UTF-8 byte-order mark.
std::string_view checkedText(std::string_view json, const std::string& source) {
    const std::string named = documentNamed(source);
    if (json.size() > caseDocumentLimitBytes)
        throw InputError(errorNumber::valueTooLong,
                         named + ": larger than a case document can be (" +
                             std::to_string(caseDocumentLimitBytes >> 20) + " MiB)",
                         source);
    const Encoding encoding = encodingOf(json);
    if (encoding.name)
        throw InputError(errorNumber::malformedNumber,
                         named + ": the text is " + encoding.name + ", not UTF-8: save it as UTF-8",
                         source);
    json.remove_prefix(encoding.markBytes);
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            if (++depth > caseDocumentDepthLimit)
                refuseAt(json, i,
                         named + ": objects and arrays nested deeper than " +
                             std::to_string(caseDocumentDepthLimit) + " levels",
                         source, errorNumber::valueTooLong);
        } else if ((c == '}' || c == ']') && depth > 0) {
            --depth;
        }
    }
    return json;
}

// Builds the document's tree from the parser's events, so that every
// refusal can name where it stands: a key given twice in one object (which
// one would count is a guess), more values than caseDocumentValueLimit, a
// number beyond a double, and text that is not JSON.
class DocumentBuilder {
  public:
    DocumentBuilder(std::string_view text, const std::string& source)
        : text_(text), source_(source), named_(documentNamed(source)) {}

    Json root;

    bool null() { return add(nullptr); }
    bool boolean(bool b) { return add(b); }
    bool number_integer(Json::number_integer_t n) { return add(n); }
    bool number_unsigned(Json::number_unsigned_t n) { return add(n); }
    bool number_float(Json::number_float_t x, const Json::string_t&) { return add(x); }
    bool string(Json::string_t& s) { return add(std::move(s)); }
    bool binary(Json::binary_t& b) { return add(Json::binary(std::move(b))); }

    bool start_object(std::size_t) { return open(Json::object()); }
    bool start_array(std::size_t) { return open(Json::array()); }
    bool end_object() { return close(); }
    bool end_array() { return close(); }

    bool key(Json::string_t& k) {
        Level& top = open_.back();
        if (top.value->contains(k)) {
            const std::string at = path();
            throw InputError(errorNumber::malformedNumber,
                             named_ + ": " + (at.empty() ? "" : at + ": ") + "the key \"" +
                                 shown(k) + "\" is given twice in one object",
                             source_);
        }
        top.key = std::move(k);
        top.awaitingValue = true;
        return true;
    }

    bool parse_error(std::size_t position, const std::string& token, const Json::exception& e) {
        const std::size_t offset = position == 0 ? 0 : position - 1;
        const std::string at = path();
        if (e.id == 406) {  // the parser's number overflow, read whole: placed at its start
            const auto [line, column] =
                lineAndColumn(text_, token.size() <= position ? position - token.size() : 0);
            throw InputError(errorNumber::numberOutOfRange,
                             named_ + ": " + (at.empty() ? "(top level)" : at) + ": the number " +
                                 shown(token) + " is beyond the range of a double",
                             source_, 0, line, column, shown(token), true);
        }
        // The parser's own description, without the token it quotes whole.
        std::string what = e.what();
        if (auto syntax = what.find("syntax error"); syntax != std::string::npos)
            what.erase(0, syntax);
        if (auto quoted = what.find("; last read: '" + token + "'"); quoted != std::string::npos)
            what.erase(quoted, token.size() + 15);
        refuseAt(text_, offset,
                 named_ + ": not JSON" + (at.empty() ? "" : " at " + at) + ": " + shown(what, 200),
                 source_);
    }

  private:
    struct Level {
        Json* value;
        std::string key;             // of an object: the last key read
        bool awaitingValue = false;  // the key's value is still to come
    };

    bool add(Json value) { return put(std::move(value)) != nullptr; }

    Json* put(Json value) {
        if (++values_ > caseDocumentValueLimit)
            refuseHere(named_ + ": more than " + std::to_string(caseDocumentValueLimit) +
                       " values, more than a case document holds");
        if (open_.empty()) {
            root = std::move(value);
            return &root;
        }
        Level& top = open_.back();
        if (top.value->is_array()) {
            top.value->push_back(std::move(value));
            return &top.value->back();
        }
        top.awaitingValue = false;
        Json& slot = (*top.value)[top.key];
        slot = std::move(value);
        return &slot;
    }

    bool open(Json container) {
        Json* value = put(std::move(container));
        open_.push_back({value, {}, false});
        return true;
    }

    bool close() {
        open_.pop_back();
        return true;
    }

    [[noreturn]] void refuseHere(const std::string& reason) const {
        const std::string at = path();
        throw InputError(errorNumber::valueTooLong,
                         at.empty() ? reason : reason + " (at " + at + ")", source_);
    }

    // The JSON path of the value being read ("case.tube_fluid.density"),
    // each key escaped, the whole cut to pathBytes.
    std::string path() const {
        std::string p;
        for (std::size_t i = 0; i < open_.size(); ++i) {
            const Level& l = open_[i];
            const bool innermost = i + 1 == open_.size();
            if (l.value->is_array()) {
                std::size_t n = l.value->size();
                p += "[" + std::to_string(innermost || n == 0 ? n : n - 1) + "]";
            } else if (!innermost || l.awaitingValue) {
                p += (p.empty() ? "" : ".") + shown(l.key);
            }
        }
        return p.size() > pathBytes ? p.substr(0, pathBytes) + "..." : p;
    }

    std::string_view text_;
    std::string source_, named_;
    std::vector<Level> open_;
    std::size_t values_ = 0;
};

class Reader {
  public:
    Reader(std::string_view source, std::vector<GivenQuantity>& given)
        : source_(source), named_(documentNamed(source_)), given_(&given) {}

    [[noreturn]] void refuse(const std::string& path, const std::string& what, int caseLine = 0,
                             int code = errorNumber::malformedNumber) const {
        throw InputError(code, named_ + ": " + path + ": " + what, source_, caseLine);
    }

    const Json& member(const Json& object, const std::string& path, std::string_view name,
                       int caseLine) const {
        auto it = object.find(name);
        if (it == object.end()) refuse(join(path, name), "required, but left out", caseLine);
        return *it;
    }

    // Every key of `object` must be one of `known`.
    void onlyKnown(const Json& object, const std::string& path,
                   const std::vector<std::string_view>& known) const {
        for (const auto& [key, value] : object.items()) {
            bool found = false;
            for (auto k : known) found = found || k == key;
            if (!found)
                refuse(join(path, shown(key)), "not a field of version 1 of the case document");
        }
    }

    const Json& object(const Json& j, const std::string& path, int caseLine = 0) const {
        if (!j.is_object()) refuse(path, "must be an object, not " + typeOf(j), caseLine);
        return j;
    }

    double real(const Json& j, const std::string& path, int caseLine) const {
        if (!j.is_number()) refuse(path, "must be a number, not " + typeOf(j), caseLine);
        double v = j.get<double>();
        if (!std::isfinite(v)) refuse(path, "beyond the range of a double", caseLine);
        return v;
    }

    std::int32_t integer(const Json& j, const std::string& path, int caseLine) const {
        if (!j.is_number_integer()) refuse(path, "must be an integer, not " + typeOf(j), caseLine);
        using Limits = std::numeric_limits<std::int32_t>;
        bool fits =
            j.is_number_unsigned()
                ? j.get<std::uint64_t>() <= static_cast<std::uint64_t>(Limits::max())
                : j.get<std::int64_t>() >= Limits::min() && j.get<std::int64_t>() <= Limits::max();
        if (!fits)
            refuse(path, "beyond the range of a 32-bit integer", caseLine,
                   errorNumber::numberOutOfRange);
        return static_cast<std::int32_t>(j.get<std::int64_t>());
    }

    std::string text(const Json& j, const std::string& path, int caseLine) const {
        if (!j.is_string()) refuse(path, "must be a string, not " + typeOf(j), caseLine);
        std::string s = j.get<std::string>();
        if (s.size() < nameWidth) s.resize(nameWidth, ' ');
        return s;
    }

    // {"value": number, "unit": "<a unit of the field's dimension>"}: the
    // value in the field's SI unit `unit`. A volumetric flow may be given as
    // a mass flow when `density` (the stream's, kg/m3) is at hand.
    double quantity(const Json& j, const std::string& path, std::string_view unit, int caseLine,
                    const double* density = nullptr) const {
        if (!j.is_object())
            refuse(path,
                   "must be {\"value\": number, \"unit\": \"" + std::string(unit) + "\"}, not " +
                       typeOf(j),
                   caseLine);
        onlyKnown(j, path, {"value", "unit"});
        const Json& u = member(j, path, "unit", caseLine);
        if (!u.is_string()) refuse(path + ".unit", "must be a string", caseLine);
        double value = real(member(j, path, "value", caseLine), path + ".value", caseLine);
        const std::string& given = u.get_ref<const std::string&>();
        if (given == unit) return value;
        UnitConversion si = convertToSi(value, given, unit);
        if (!si.converted && density != nullptr) {
            UnitConversion mass = convertToSi(value, given, "kg/s");
            if (mass.converted && !(*density > 0))
                refuse(path, "a mass flow needs the stream's density, which is not positive",
                       caseLine);
            // Q = m / rho: the stream's mass flow through its density.
            if (mass.converted) si = {true, mass.value / *density, {}};
        }
        if (!si.converted) {
            std::string dimension(dimensionOf(unit));
            bool named = si.reason.find(dimension) != std::string::npos;
            refuse(path,
                   "unit \"" + shown(given) + "\" refused: " + si.reason + " (" +
                       (named ? "" : "a " + dimension + ", ") + "SI unit " + std::string(unit) +
                       ")",
                   caseLine);
        }
        given_->push_back({path, value, given, si.value, std::string(unit)});
        return si.value;
    }

    // Reads field `f` from `object` (at `path`) into the case.
    void fill(Case& c, const Json& object, const std::string& path, const CaseField& f) const {
        const Json& v = member(object, path, f.member(), f.caseLine);
        std::string at = join(path, f.member());
        switch (f.kind) {
            case CaseFieldKind::number:
                f.real(c) = real(v, at, f.caseLine);
                break;
            case CaseFieldKind::quantity:
                f.real(c) = quantity(v, at, f.unit, f.caseLine, massFlowDensity(c, f));
                break;
            case CaseFieldKind::integer:
                f.integer(c) = integer(v, at, f.caseLine);
                break;
            case CaseFieldKind::text:
                f.text(c) = text(v, at, f.caseLine);
                break;
        }
    }

    // The stream's density, read before its flow, for a flow given by mass.
    static const double* massFlowDensity(Case& c, const CaseField& f) {
        if (f.unit != "m3/s" || f.record().empty()) return nullptr;
        std::string name = std::string(f.record()) + ".density";
        const CaseField* density = findCaseField(name);
        return density != nullptr ? &density->real(c) : nullptr;
    }

    static std::string join(const std::string& path, std::string_view name) {
        return path + "." + std::string(name);
    }

    static std::string typeOf(const Json& j) { return j.type_name(); }

  private:
    std::string source_;
    std::string named_;                  // "case document \"x.json\""
    std::vector<GivenQuantity>* given_;  // the quantities given in other units
};

// The case object: the case's own fields, and each fluid's as an object of
// its own under the fluid's name.
Case readCaseValues(const Reader& r, const Json& j) {
    const std::string path = "case";
    r.object(j, path);
    Case c;
    std::vector<std::string_view> known;        // the keys of the case object
    std::vector<std::string_view> recordKnown;  // those of the fluid being read
    std::string_view record;
    const Json* object = &j;
    std::string at = path;
    for (const CaseField& f : caseFields) {
        if (f.record() != record) {
            if (!record.empty()) r.onlyKnown(*object, at, recordKnown);
            record = f.record();
            // A fluid's property model beside its case values (readModel).
            recordKnown.assign(modelKeys.begin(), modelKeys.end());
            object = &j;
            at = path;
            if (!record.empty()) {
                known.push_back(record);
                at = Reader::join(path, record);
                object = &r.object(r.member(j, path, record, f.caseLine), at, f.caseLine);
            }
        }
        (record.empty() ? known : recordKnown).push_back(f.member());
        r.fill(c, *object, at, f);
    }
    if (!record.empty()) r.onlyKnown(*object, at, recordKnown);
    r.onlyKnown(j, path, known);
    return c;
}

// The fluid's property model: "model" (constant, table or water), a
// table's rows ("table") or the water's pressure ("pressure"), under the
// fluid's object `record` of the case object.
PropertyModel readModel(const Reader& r, const Json& caseObject, std::string_view record) {
    const std::string path = "case." + std::string(record);
    const Json& fluid = caseObject[std::string(record)];
    PropertyModel m;
    std::string kind = "constant";
    if (fluid.contains("model")) {
        const Json& k = fluid["model"];
        if (k != "constant" && k != "table" && k != "water")
            r.refuse(path + ".model", "must be \"constant\", \"table\" or \"water\"");
        kind = k.get<std::string>();
    }
    auto refuseOther = [&](const char* key) {
        if (fluid.contains(key))
            r.refuse(path + "." + key, "a \"" + kind + "\" model takes no " + key);
    };
    if (kind == "table") {
        m.kind = PropertyModelKind::table;
        refuseOther("pressure");
        const std::string at = path + ".table";
        const Json& rows = r.member(fluid, path, "table", 0);
        if (!rows.is_array()) r.refuse(at, "must be a list of rows, not " + Reader::typeOf(rows));
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const std::string row = at + "[" + std::to_string(i) + "]";
            const Json& p = r.object(rows[i], row);
            r.onlyKnown(p, row,
                        {"temperature", "density", "viscosity", "conductivity", "heat_capacity"});
            PropertyPoint point;
            auto q = [&](const char* name, const char* unit) {
                return r.quantity(r.member(p, row, name, 0), row + "." + name, unit, 0);
            };
            point.temperature = q("temperature", "degC");
            point.properties.density = q("density", "kg/m3");
            point.properties.viscosity = q("viscosity", "Pa s");
            point.properties.conductivity = q("conductivity", "W/(m K)");
            point.properties.heatCapacity = q("heat_capacity", "J/(kg K)");
            m.table.push_back(point);
        }
    } else if (kind == "water") {
        m.kind = PropertyModelKind::water;
        refuseOther("table");
        m.pressure = r.quantity(r.member(fluid, path, "pressure", 0), path + ".pressure", "Pa", 0);
    } else {
        refuseOther("table");
        refuseOther("pressure");
    }
    // A model that gives no properties is refused here, naming its field.
    try {
        validatePropertyModel(m, record.substr(0, record.find('_')));
    } catch (const InvalidArgument& e) {
        r.refuse(path + (kind == "water" ? ".pressure" : ".table"), e.what());
    }
    return m;
}

// A stream's flow given as a mass flow: the reader turned it into a
// volumetric flow through the case's density, but a stream with a property
// model has the model's density at its inlet, and the mass flow given must
// stay the stream's (the rating keeps rho(T_in) Q_in). `record` is the
// fluid's, `inlet` its inlet temperature, degC.
void massFlowThroughModel(const Reader& r, CaseDocument& d, std::string_view record,
                          const PropertyModel& m, Fluid& f, double inlet) {
    if (m.kind == PropertyModelKind::constant) return;
    const std::string path = "case." + std::string(record) + ".volumetric_flow";
    for (GivenQuantity& g : d.given) {
        if (g.field != path) continue;
        UnitConversion mass = convertToSi(g.value, g.unit, "kg/s");
        if (!mass.converted) return;  // given as a volumetric flow
        double rho = 0;
        try {
            rho = propertiesAt(m, f, inlet, record.substr(0, record.find('_'))).density;
        } catch (const InvalidArgument& e) {
            r.refuse(path, std::string("a mass flow needs the stream's density at its inlet: ") +
                               e.what());
        }
        // Q = m / rho(T_in), as the reader does with a constant density.
        f.volumetricFlow = mass.value / rho;
        g.si = f.volumetricFlow;
        return;
    }
}

PropertiesAt readPropertiesAt(const Reader& r, const Json& j) {
    for (PropertiesAt mode : {PropertiesAt::inlet, PropertiesAt::mean, PropertiesAt::incremental})
        if (j == propertiesAtName(mode)) return mode;
    r.refuse("properties_at", "must be \"inlet\", \"mean\" or \"incremental\"");
}

BaffleGeometry readBaffles(const Reader& r, const Json& j) {
    const std::string path = "extensions.baffles";
    r.object(j, path);
    r.onlyKnown(j, path,
                {"baffle_cut", "shell_to_baffle_clearance", "tube_to_baffle_clearance",
                 "bundle_to_shell_clearance", "sealing_strip_pairs", "inlet_baffle_spacing",
                 "outlet_baffle_spacing", "layout_angle"});
    BaffleGeometry b;
    auto at = [&](std::string_view name) { return Reader::join(path, name); };
    if (j.contains("baffle_cut")) b.baffleCut = r.real(j["baffle_cut"], at("baffle_cut"), 0);
    if (j.contains("sealing_strip_pairs"))
        b.sealingStripPairs = r.integer(j["sealing_strip_pairs"], at("sealing_strip_pairs"), 0);
    if (j.contains("layout_angle"))
        b.layoutAngle = r.integer(j["layout_angle"], at("layout_angle"), 0);
    for (auto [name, member] :
         {std::pair{"shell_to_baffle_clearance", &BaffleGeometry::shellToBaffleClearance},
          std::pair{"tube_to_baffle_clearance", &BaffleGeometry::tubeToBaffleClearance},
          std::pair{"bundle_to_shell_clearance", &BaffleGeometry::bundleToShellClearance},
          std::pair{"inlet_baffle_spacing", &BaffleGeometry::inletBaffleSpacing},
          std::pair{"outlet_baffle_spacing", &BaffleGeometry::outletBaffleSpacing}}) {
        if (j.contains(name)) b.*member = r.quantity(j[name], at(name), "m", 0);
    }
    return b;
}

Extensions readExtensions(const Reader& r, const Json& j) {
    const std::string path = "extensions";
    r.object(j, path);
    r.onlyKnown(j, path,
                {"fouling_inside", "fouling_outside", "tube_passes", "shells", "shell_side",
                 "baffles", "shell_wall_viscosity"});
    Extensions e;
    auto at = [&](std::string_view name) { return Reader::join(path, name); };
    if (j.contains("fouling_inside"))
        e.foulingInside = r.quantity(j["fouling_inside"], at("fouling_inside"), "m2 K/W", 0);
    if (j.contains("fouling_outside"))
        e.foulingOutside = r.quantity(j["fouling_outside"], at("fouling_outside"), "m2 K/W", 0);
    if (j.contains("tube_passes")) e.tubePasses = r.integer(j["tube_passes"], at("tube_passes"), 0);
    if (j.contains("shells")) e.shells = r.integer(j["shells"], at("shells"), 0);
    if (j.contains("shell_side")) {
        const Json& s = j["shell_side"];
        if (s == "bell-delaware")
            e.shellSide = ShellSideMethod::bellDelaware;
        else if (s != "program")
            r.refuse(at("shell_side"), "must be \"program\" or \"bell-delaware\"");
    }
    if (j.contains("baffles")) e.baffles = readBaffles(r, j["baffles"]);
    if (j.contains("shell_wall_viscosity")) {
        // A viscosity is a positive property; Kern's correction divides by it.
        const double mu_w =
            r.quantity(j["shell_wall_viscosity"], at("shell_wall_viscosity"), "Pa s", 0);
        if (!(mu_w > 0)) r.refuse(at("shell_wall_viscosity.value"), "must be above 0 Pa s");
        e.shellWallViscosity = mu_w;
    }
    return e;
}

// ---- writing ----------------------------------------------------------------

[[noreturn]] void cannotWrite(const std::string& path, const std::string& what) {
    throw InvalidArgument(path, "case document: " + path + ": " + what);
}

Json quantityJson(double value, std::string_view unit, const std::string& path) {
    if (!std::isfinite(value)) cannotWrite(path, "JSON has no infinity or NaN");
    Json q;
    q["value"] = value;
    q["unit"] = std::string(unit);
    return q;
}

Json textJson(const std::string& s, const std::string& path) {
    Json j = s;
    try {
        (void)j.dump();
    } catch (const Json::type_error&) {
        cannotWrite(path, "the text is not UTF-8");
    }
    return j;
}

// The case object, a fluid's fields in an object under the fluid's name.
Json caseJson(const Case& c) {
    Json values;
    for (const CaseField& f : caseFields) {
        Json& out = f.record().empty() ? values : values[std::string(f.record())];
        std::string at = "case." + std::string(f.name);
        std::string key(f.member());
        switch (f.kind) {
            case CaseFieldKind::number:
                if (!std::isfinite(f.real(c))) cannotWrite(at, "JSON has no infinity or NaN");
                out[key] = f.real(c);
                break;
            case CaseFieldKind::quantity:
                out[key] = quantityJson(f.real(c), f.unit, at);
                break;
            case CaseFieldKind::integer:
                out[key] = f.integer(c);
                break;
            case CaseFieldKind::text:
                out[key] = textJson(f.text(c), at);
                break;
        }
    }
    return values;
}

// A fluid's property model beside its case values; nothing for a constant one.
void modelJson(const PropertyModel& m, std::string_view record, Json& fluid) {
    const std::string path = "case." + std::string(record);
    switch (m.kind) {
        case PropertyModelKind::constant:
            return;
        case PropertyModelKind::table: {
            fluid["model"] = "table";
            Json rows = Json::array();
            for (std::size_t i = 0; i < m.table.size(); ++i) {
                const PropertyPoint& p = m.table[i];
                const std::string at = path + ".table[" + std::to_string(i) + "].";
                Json row;
                row["temperature"] = quantityJson(p.temperature, "degC", at + "temperature");
                row["density"] = quantityJson(p.properties.density, "kg/m3", at + "density");
                row["viscosity"] = quantityJson(p.properties.viscosity, "Pa s", at + "viscosity");
                row["conductivity"] =
                    quantityJson(p.properties.conductivity, "W/(m K)", at + "conductivity");
                row["heat_capacity"] =
                    quantityJson(p.properties.heatCapacity, "J/(kg K)", at + "heat_capacity");
                rows.push_back(std::move(row));
            }
            fluid["table"] = std::move(rows);
            return;
        }
        case PropertyModelKind::water:
            fluid["model"] = "water";
            fluid["pressure"] = quantityJson(m.pressure, "Pa", path + ".pressure");
            return;
    }
    cannotWrite(path + ".model", "unknown property model");
}

Json extensionsJson(const Extensions& e) {
    Json j = Json::object();
    const std::string path = "extensions";
    if (e.foulingInside != 0 || std::signbit(e.foulingInside))
        j["fouling_inside"] = quantityJson(e.foulingInside, "m2 K/W", path + ".fouling_inside");
    if (e.foulingOutside != 0 || std::signbit(e.foulingOutside))
        j["fouling_outside"] = quantityJson(e.foulingOutside, "m2 K/W", path + ".fouling_outside");
    j["tube_passes"] = e.tubePasses;
    j["shells"] = e.shells;
    j["shell_side"] = e.shellSide == ShellSideMethod::bellDelaware ? "bell-delaware" : "program";
    const BaffleGeometry& b = e.baffles;
    if (!(b == BaffleGeometry{})) {
        Json bj;
        const std::string at = path + ".baffles";
        if (!std::isfinite(b.baffleCut))
            cannotWrite(at + ".baffle_cut", "JSON has no infinity or NaN");
        bj["baffle_cut"] = b.baffleCut;
        bj["sealing_strip_pairs"] = b.sealingStripPairs;
        if (b.layoutAngle) bj["layout_angle"] = *b.layoutAngle;
        for (auto [name, member] :
             {std::pair{"shell_to_baffle_clearance", &BaffleGeometry::shellToBaffleClearance},
              std::pair{"tube_to_baffle_clearance", &BaffleGeometry::tubeToBaffleClearance},
              std::pair{"bundle_to_shell_clearance", &BaffleGeometry::bundleToShellClearance},
              std::pair{"inlet_baffle_spacing", &BaffleGeometry::inletBaffleSpacing},
              std::pair{"outlet_baffle_spacing", &BaffleGeometry::outletBaffleSpacing}}) {
            if (b.*member) bj[name] = quantityJson(*(b.*member), "m", at + "." + name);
        }
        j["baffles"] = bj;
    }
    if (e.shellWallViscosity)
        j["shell_wall_viscosity"] =
            quantityJson(*e.shellWallViscosity, "Pa s", path + ".shell_wall_viscosity");
    return j;
}

}  // namespace

CaseDocument parseCaseDocument(std::string_view json, std::string_view sourceName) {
    const std::string source(sourceName);
    try {
        const std::string_view text = checkedText(json, source);
        DocumentBuilder built(text, source);
        Json::sax_parse(text.begin(), text.end(), &built);
        const Json& doc = built.root;
        CaseDocument out;
        Reader r(source, out.given);
        r.object(doc, "the document");
        r.onlyKnown(doc, "(top level)",
                    {"$schema", "format", "version", "case", "extensions", "properties_at"});
        const Json& format = r.member(doc, "(top level)", "format", 0);
        if (format != documentFormat)
            r.refuse("format", "must be \"" + std::string(documentFormat) + "\"");
        const Json& version = r.member(doc, "(top level)", "version", 0);
        if (!version.is_number_integer() || version != caseDocumentVersion)
            r.refuse(
                "version",
                "this library reads version " + std::to_string(caseDocumentVersion) + ", not " +
                    (version.is_primitive() ? shown(version.dump()) : Reader::typeOf(version)));
        const Json& values = r.member(doc, "(top level)", "case", 0);
        out.input = readCaseValues(r, values);
        out.tubeProperties = readModel(r, values, "tube_fluid");
        out.shellProperties = readModel(r, values, "shell_fluid");
        massFlowThroughModel(r, out, "tube_fluid", out.tubeProperties, out.input.tubeFluid,
                             out.input.tubeInletTemperature);
        massFlowThroughModel(r, out, "shell_fluid", out.shellProperties, out.input.shellFluid,
                             out.input.shellInletTemperature);
        if (doc.contains("extensions")) out.extensions = readExtensions(r, doc["extensions"]);
        if (doc.contains("properties_at"))
            out.propertiesAt = readPropertiesAt(r, doc["properties_at"]);
        return out;
    } catch (const Error&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw ResourceError(errorNumber::storageRefused,
                            documentNamed(source) + ": not enough memory to read it");
    } catch (const std::length_error&) {
        throw ResourceError(errorNumber::storageRefused,
                            documentNamed(source) + ": not enough memory to read it");
    } catch (const Json::exception& e) {
        // Not met by any document the checks above let through; kept so
        // that no parser exception leaves as anything but an InputError.
        throw InputError(errorNumber::malformedNumber,
                         documentNamed(source) + ": cannot be read (" + shown(e.what(), 200) + ")",
                         source);
    }
}

std::string caseDocumentJson(const Case& c, const Extensions& extensions) {
    return caseDocumentJson(CaseDocument{c, extensions, {}});
}

std::string caseDocumentJson(const CaseDocument& document) {
    Json doc;
    doc["format"] = documentFormat;
    doc["version"] = caseDocumentVersion;
    doc["case"] = caseJson(document.input);
    modelJson(document.tubeProperties, "tube_fluid", doc["case"]["tube_fluid"]);
    modelJson(document.shellProperties, "shell_fluid", doc["case"]["shell_fluid"]);
    doc["extensions"] = extensionsJson(document.extensions);
    if (document.propertiesAt != PropertiesAt::inlet)
        doc["properties_at"] = std::string(propertiesAtName(document.propertiesAt));
    return doc.dump(2) + "\n";
}

bool looksLikeCaseDocument(std::string_view text) {
    const Encoding encoding = encodingOf(text);
    for (std::size_t i = encoding.markBytes; i + encoding.unit <= text.size(); i += encoding.unit) {
        std::uint32_t ch = 0;  // the code unit, of one, two or four bytes
        for (std::size_t k = 0; k < encoding.unit; ++k) {
            const std::size_t byte = encoding.bigEndian ? k : encoding.unit - 1 - k;
            ch = ch << 8 | static_cast<unsigned char>(text[i + byte]);
        }
        if (ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r') continue;
        return ch == '{';
    }
    return false;
}

}  // namespace hxrate
