// The JSON documents' shared reading and writing: the text's checks, the
// tree built from the parser's events, typed fields and quantities.
#include "format/json_document.h"

#include <cmath>
#include <limits>
#include <utility>

#include "format/units.h"
#include "hxrate/case_document.h"

namespace hxrate::document {
namespace {

constexpr std::size_t pathBytes = 80;  // of a JSON path, whose keys are the document's

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

// Refuses what cannot be parsed safely, before the parser sees it: a text
// beyond caseDocumentLimitBytes, one in UTF-16 or UTF-32, and objects and
// arrays nested deeper than caseDocumentDepthLimit (the parsed tree is
// copied and compared recursively, so a deep one would exhaust the stack).
// Returns the text after a UTF-8 byte-order mark.
std::string_view checkedText(std::string_view json, std::string_view kind,
                             const std::string& source) {
    const std::string named = documentNamed(kind, source);
    if (json.size() > caseDocumentLimitBytes)
        throw InputError(errorNumber::valueTooLong,
                         named + ": larger than a " + std::string(kind) + " can be (" +
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
    DocumentBuilder(std::string_view text, std::string_view kind, const std::string& source)
        : text_(text), kind_(kind), source_(source), named_(documentNamed(kind, source)) {}

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
                       " values, more than a " + kind_ + " holds");
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
    std::string kind_, source_, named_;
    std::vector<Level> open_;
    std::size_t values_ = 0;
};

}  // namespace

std::string shown(std::string_view raw, std::size_t limit) {
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

std::string documentNamed(std::string_view kind, const std::string& source) {
    if (source.empty() || source == kind) return std::string(kind);
    return std::string(kind) + " \"" + source + "\"";
}

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

Json parseTree(std::string_view json, std::string_view kind, const std::string& source) {
    const std::string_view text = checkedText(json, kind, source);
    DocumentBuilder built(text, kind, source);
    Json::sax_parse(text.begin(), text.end(), &built);
    return std::move(built.root);
}

Reader::Reader(std::string_view kind, std::string_view source, std::string fieldsOf,
               std::vector<GivenQuantity>& given, std::string prefix)
    : source_(source),
      named_(documentNamed(kind, source_)),
      fieldsOf_(std::move(fieldsOf)),
      given_(&given),
      prefix_(std::move(prefix)) {}

void Reader::refuse(const std::string& path, const std::string& what, int caseLine,
                    int code) const {
    const std::string at = prefix_.empty() ? path : path.empty() ? prefix_ : prefix_ + "." + path;
    throw InputError(code, named_ + ": " + at + ": " + what, source_, caseLine);
}

const Json& Reader::member(const Json& object, const std::string& path, std::string_view name,
                           int caseLine) const {
    auto it = object.find(name);
    if (it == object.end()) refuse(join(path, name), "required, but left out", caseLine);
    return *it;
}

void Reader::onlyKnown(const Json& object, const std::string& path,
                       const std::vector<std::string_view>& known) const {
    for (const auto& [key, value] : object.items()) {
        bool found = false;
        for (auto k : known) found = found || k == key;
        if (!found) refuse(join(path, shown(key)), "not a field of " + fieldsOf_);
    }
}

const Json& Reader::object(const Json& j, const std::string& path, int caseLine) const {
    if (!j.is_object()) refuse(path, "must be an object, not " + typeOf(j), caseLine);
    return j;
}

const Json& Reader::array(const Json& j, const std::string& path) const {
    if (!j.is_array()) refuse(path, "must be a list, not " + typeOf(j));
    if (j.empty()) refuse(path, "the list is empty");
    return j;
}

double Reader::real(const Json& j, const std::string& path, int caseLine) const {
    if (!j.is_number()) refuse(path, "must be a number, not " + typeOf(j), caseLine);
    double v = j.get<double>();
    if (!std::isfinite(v)) refuse(path, "beyond the range of a double", caseLine);
    return v;
}

std::int32_t Reader::integer(const Json& j, const std::string& path, int caseLine) const {
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

std::string Reader::text(const Json& j, const std::string& path, int caseLine) const {
    if (!j.is_string()) refuse(path, "must be a string, not " + typeOf(j), caseLine);
    std::string s = j.get<std::string>();
    if (s.size() < nameWidth) s.resize(nameWidth, ' ');
    return s;
}

double Reader::quantity(const Json& j, const std::string& path, std::string_view unit, int caseLine,
                        const double* density) const {
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
    const double si = converted(value, given, path, unit, caseLine, density);
    given_->push_back({path, value, given, si, std::string(unit)});
    return si;
}

void Reader::requireFormat(const Json& doc, const std::string& top, std::string_view format,
                           int version) const {
    if (member(doc, top, "format", 0) != format)
        refuse("format", "must be \"" + std::string(format) + "\"");
    const Json& given = member(doc, top, "version", 0);
    if (!given.is_number_integer() || given != version)
        refuse("version", "this library reads version " + std::to_string(version) + ", not " +
                              (given.is_primitive() ? shown(given.dump()) : typeOf(given)));
}

std::vector<double> Reader::quantities(const Json& j, const std::string& path,
                                       std::string_view unit) const {
    if (!j.is_object())
        refuse(path, "must be {\"values\": [numbers], \"unit\": \"" + std::string(unit) +
                         "\"}, not " + typeOf(j));
    onlyKnown(j, path, {"values", "unit"});
    const Json& u = member(j, path, "unit");
    if (!u.is_string()) refuse(path + ".unit", "must be a string");
    const Json& values = array(member(j, path, "values"), path + ".values");
    const std::string& given = u.get_ref<const std::string&>();
    std::vector<double> out;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::string at = path + ".values[" + std::to_string(i) + "]";
        const double value = real(values[i], at);
        if (given == unit) {
            out.push_back(value);
        } else {
            out.push_back(converted(value, given, at, unit, 0, nullptr));
            given_->push_back({at, value, given, out.back(), std::string(unit)});
        }
    }
    return out;
}

double Reader::converted(double value, const std::string& given, const std::string& path,
                         std::string_view unit, int caseLine, const double* density) const {
    UnitConversion si = convertToSi(value, given, unit);
    if (!si.converted && density != nullptr) {
        UnitConversion mass = convertToSi(value, given, "kg/s");
        if (mass.converted && !(*density > 0))
            refuse(path, "a mass flow needs the stream's density, which is not positive", caseLine);
        // Q = m / rho: the stream's mass flow through its density.
        if (mass.converted) si = {true, mass.value / *density, {}};
    }
    if (!si.converted) {
        std::string dimension(dimensionOf(unit));
        bool named = si.reason.find(dimension) != std::string::npos;
        refuse(path,
               "unit \"" + shown(given) + "\" refused: " + si.reason + " (" +
                   (named ? "" : "a " + dimension + ", ") + "SI unit " + std::string(unit) + ")",
               caseLine);
    }
    return si.value;
}

std::string Reader::join(const std::string& path, std::string_view name) {
    return path.empty() ? std::string(name) : path + "." + std::string(name);
}

PropertyModel readPropertyModel(const Reader& r, const Json& fluid, const std::string& path,
                                std::string_view stream) {
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
        validatePropertyModel(m, stream);
    } catch (const InvalidArgument& e) {
        r.refuse(path + (kind == "water" ? ".pressure" : ".table"), e.what());
    }
    return m;
}

PropertiesAt readPropertiesAt(const Reader& r, const Json& j, const std::string& path) {
    for (PropertiesAt mode : {PropertiesAt::inlet, PropertiesAt::mean, PropertiesAt::incremental})
        if (j == propertiesAtName(mode)) return mode;
    r.refuse(path, "must be \"inlet\", \"mean\" or \"incremental\"");
}

// ---- writing ----------------------------------------------------------------

void cannotWrite(std::string_view kind, const std::string& path, const std::string& what) {
    throw InvalidArgument(path, std::string(kind) + ": " + path + ": " + what);
}

Json quantityJson(double value, std::string_view unit, const std::string& path,
                  std::string_view kind) {
    if (!std::isfinite(value)) cannotWrite(kind, path, "JSON has no infinity or NaN");
    Json q;
    q["value"] = value;
    q["unit"] = std::string(unit);
    return q;
}

Json textJson(const std::string& s, const std::string& path, std::string_view kind) {
    Json j = s;
    try {
        (void)j.dump();
    } catch (const Json::type_error&) {
        cannotWrite(kind, path, "the text is not UTF-8");
    }
    return j;
}

void modelJson(const PropertyModel& m, const std::string& path, Json& fluid,
               std::string_view kind) {
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
                row["temperature"] = quantityJson(p.temperature, "degC", at + "temperature", kind);
                row["density"] = quantityJson(p.properties.density, "kg/m3", at + "density", kind);
                row["viscosity"] =
                    quantityJson(p.properties.viscosity, "Pa s", at + "viscosity", kind);
                row["conductivity"] =
                    quantityJson(p.properties.conductivity, "W/(m K)", at + "conductivity", kind);
                row["heat_capacity"] =
                    quantityJson(p.properties.heatCapacity, "J/(kg K)", at + "heat_capacity", kind);
                rows.push_back(std::move(row));
            }
            fluid["table"] = std::move(rows);
            return;
        }
        case PropertyModelKind::water:
            fluid["model"] = "water";
            fluid["pressure"] = quantityJson(m.pressure, "Pa", path + ".pressure", kind);
            return;
    }
    cannotWrite(kind, path + ".model", "unknown property model");
}

}  // namespace hxrate::document
