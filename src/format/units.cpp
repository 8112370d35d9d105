// Unit conversion for the case document, by UDUNITS-2. The unit system is
// read once from the library's XML database; its parser keeps global state,
// so parsing and building converters happen under one lock, and the
// converters made are kept for the process (converting is then lock-free
// arithmetic of the converter).
#include "format/units.h"

#include <udunits2.h>

#include <cmath>
#include <map>
#include <mutex>
#include <utility>

namespace hxrate {
namespace {

// The SI units of the documents and what each measures.
constexpr std::pair<std::string_view, std::string_view> dimensions[] = {
    {"m", "length"},
    {"kg/m3", "density"},
    {"Pa s", "dynamic viscosity"},
    {"W/(m K)", "thermal conductivity"},
    {"J/(kg K)", "specific heat capacity"},
    {"m3/s", "volumetric flow"},
    {"kg/s", "mass flow"},
    {"degC", "temperature"},
    {"m2 K/W", "thermal resistance per area"},
    {"Pa", "pressure"},
    {"W", "power"},
    {"m/s", "velocity"},
};

// Longest unit text parsed: a unit is a few symbols, never a paragraph.
constexpr std::size_t longestUnit = 64;
// Distinct (unit, SI unit) pairs whose converter is kept; past that each
// conversion builds and frees its own, so no document can grow the cache.
constexpr std::size_t keptConverters = 256;

class UnitSystem {
  public:
    static UnitSystem& instance() {
        static UnitSystem system;
        return system;
    }

    UnitConversion convert(double value, const std::string& unit, std::string_view siUnit) {
        std::lock_guard lock(mutex_);
        if (system_ == nullptr)
            return {false, 0, "cannot be converted: the unit database of UDUNITS-2 was not found"};
        auto key = std::make_pair(unit, std::string(siUnit));
        auto kept = converters_.find(key);
        if (kept != converters_.end()) return apply(kept->second, value);
        ut_unit* from = ut_parse(system_, unit.c_str(), UT_UTF8);
        if (from == nullptr) return {false, 0, "not a unit this library knows"};
        ut_unit* to = ut_parse(system_, key.second.c_str(), UT_UTF8);
        UnitConversion out{false, 0, "not a unit of " + std::string(dimensionOf(siUnit))};
        if (to != nullptr && sameDimension(from, to)) {
            cv_converter* converter = ut_get_converter(from, to);
            if (converter != nullptr) {
                out = apply(converter, value);
                if (converters_.size() < keptConverters)
                    converters_.emplace(std::move(key), converter);
                else
                    cv_free(converter);
            }
        }
        ut_free(to);
        ut_free(from);
        return out;
    }

    UnitSystem(const UnitSystem&) = delete;
    UnitSystem& operator=(const UnitSystem&) = delete;
    ~UnitSystem() {
        for (auto& [units, converter] : converters_) cv_free(converter);
        if (system_ != nullptr) ut_free_system(system_);
    }

  private:
    UnitSystem() {
        // The library reports its troubles on standard error; the reader
        // says what went wrong in its own message instead.
        ut_set_error_message_handler(ut_ignore);
        system_ = ut_read_xml(nullptr);
        if (system_ == nullptr) return;
        // Symbols engineers write that the database spells otherwise: P for
        // the poise (so cP, mP), lbm for the pound, gpm for US gallons a minute.
        // (The database clones a unit it maps; the ones found here are freed.)
        ut_unit* poise = ut_get_unit_by_name(system_, "poise");
        ut_unit* pound = ut_get_unit_by_name(system_, "pound");
        ut_unit* gallon = ut_get_unit_by_name(system_, "gallon");
        ut_unit* minute = ut_get_unit_by_name(system_, "minute");
        ut_unit* gpm = gallon != nullptr && minute != nullptr ? ut_divide(gallon, minute) : nullptr;
        if (poise != nullptr) ut_map_symbol_to_unit("P", UT_UTF8, poise);
        if (pound != nullptr) ut_map_symbol_to_unit("lbm", UT_UTF8, pound);
        if (gpm != nullptr) ut_map_symbol_to_unit("gpm", UT_UTF8, gpm);
        for (ut_unit* u : {poise, pound, gallon, minute, gpm})
            if (u != nullptr) ut_free(u);
    }

    // UDUNITS-2 also converts a unit into its reciprocal (s into Hz, and so
    // W/(m2 K) into m2 K/W, inverting the value): only a dimensionless ratio
    // is a conversion between quantities of one kind.
    static bool sameDimension(const ut_unit* from, const ut_unit* to) {
        if (ut_are_convertible(from, to) == 0) return false;
        ut_unit* ratio = ut_divide(from, to);
        bool same = ratio != nullptr && ut_is_dimensionless(ratio) != 0;
        if (ratio != nullptr) ut_free(ratio);
        return same;
    }

    static UnitConversion apply(const cv_converter* converter, double value) {
        double si = cv_convert_double(converter, value);
        if (!std::isfinite(si)) return {false, 0, "beyond the range of a double once converted"};
        return {true, si, {}};
    }

    std::mutex mutex_;
    ut_system* system_ = nullptr;
    std::map<std::pair<std::string, std::string>, cv_converter*> converters_;
};

bool printable(std::string_view unit) {
    for (unsigned char ch : unit)
        if (ch < 0x20 || ch == 0x7f) return false;
    return true;
}

}  // namespace

std::string_view dimensionOf(std::string_view siUnit) {
    for (auto [unit, dimension] : dimensions)
        if (unit == siUnit) return dimension;
    return siUnit;
}

UnitConversion convertToSi(double value, std::string_view unit, std::string_view siUnit) {
    if (unit == siUnit) return {true, value, {}};
    if (unit.empty() || unit.size() > longestUnit || !printable(unit))
        return {false, 0, "not a unit this library knows"};
    return UnitSystem::instance().convert(value, std::string(unit), siUnit);
}

}  // namespace hxrate
