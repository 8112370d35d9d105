// hxrate/errors.h: the ways a rating ends without a result. Every error
// derives from hxrate::Error, and what() reads well on its own.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace hxrate {

struct Rating;

// Numbers of the "run-time error N" diagnostics, carried by Error::code():
// 10-16 the case text, 20-23 arithmetic, 30-32 the machine and the files,
// 40 a rating stopped by its caller.
namespace errorNumber {
inline constexpr int caseFileUnreadable = 10;  // no case file, or it cannot be read
inline constexpr int endOfFile = 11;           // the case ends inside a value
inline constexpr int malformedNumber = 12;     // a value that is not a number of its kind
inline constexpr int numberOutOfRange = 13;    // a number beyond its type's range
inline constexpr int delimitedNumber = 14;     // a number written in quotes
inline constexpr int badRepeatCount = 15;      // a repeat count that is not positive
inline constexpr int valueTooLong = 16;        // a value longer than the reader takes
inline constexpr int divisionByZero = 20;      // arithmetic: division by zero
inline constexpr int invalidOperation = 21;    // arithmetic: invalid operation
inline constexpr int overflow = 22;            // arithmetic: overflow
inline constexpr int integerConversion = 23;   // arithmetic: a real that fits no integer
inline constexpr int storageRefused = 30;      // the profile needs more memory than allowed
inline constexpr int fileNotWritable = 31;     // an output file cannot be written
inline constexpr int runInProgress = 32;       // another run holds the folder
inline constexpr int cancelled = 40;  // the caller stopped the rating (RateOptions::cancel)
inline constexpr bool isInputFailure(int n) {
    return n >= 10 && n <= 19;
}
inline constexpr bool isArithmeticFailure(int n) {
    return n >= 20 && n <= 29;
}
inline constexpr bool isResourceFailure(int n) {
    return n >= 30 && n <= 39;
}
inline constexpr bool isCancelled(int n) {
    return n == cancelled;
}
}  // namespace errorNumber

// Base of every error; code() is the number the program prints as
// "run-time error N" (0 for a rejected case, which is not an error of a run).
class Error : public std::runtime_error {
  public:
    Error(int code, const std::string& what) : std::runtime_error(what), code_(code) {}
    int code() const { return code_; }

  private:
    int code_;
};

// The checks that can reject a case, in the order a rating can meet them.
enum class Check {
    reduceBaffles,            // cross flow: Nel/2 not greater than the baffle count
    baffleCountMinusOne,      // a baffle count of -1
    tubingFit,                // the bundle does not fit into the shell
    tubeFlowParameters,       // tube-side Reynolds number not above 0
    tubeFrictionDivergence,   // tube-side friction factor did not converge
    tubeNusseltRange,         // tube-side Reynolds number above 5e6
    crossFlowArrangement,     // cross flow: arrangement neither inline nor staggered
    stagnantFlow,             // shell-side Reynolds number below 1e-5
    pecletRange,              // cross flow: shell-side Peclet number below 0.2
    bankArrangement,          // tube bank: arrangement neither inline nor staggered
    shellFrictionDivergence,  // shell-side (duct) friction factor did not converge
    shellNusseltRange,        // shell-side (duct) Reynolds number above 5e6
    shootingGrows,            // the shooting mismatch grew: reduce the correction factor
    shootingLimit,            // the shooting used up its passes
    exchangerSelection,       // exchanger type outside 0..3
    negativeElementCount,     // the element length gives a negative element count
    negativeBaffleCount,      // cross flow with a negative baffle count
};

// A short stable name of a check ("tube-nusselt-range"), for JSON and logs.
std::string_view checkName(Check check);
// The run-log message of a check, exactly as the program writes it.
std::string_view checkMessage(Check check);

// A check rejected the case. message() is the run-log text exactly.
class CaseRejected : public Error {
  public:
    CaseRejected(Check check, std::shared_ptr<const Rating> partial = nullptr);
    Check check() const { return check_; }
    std::string_view message() const { return checkMessage(check_); }
    // What was computed before the check, when the rating got that far
    // (rate() always provides it); null otherwise.
    const Rating* partial() const { return partial_.get(); }
    std::shared_ptr<const Rating> sharedPartial() const { return partial_; }

  private:
    Check check_;
    std::shared_ptr<const Rating> partial_;
};

// The case text could not be read as a case. what() gives the reason and
// the place, as the program's diagnostic does.
class InputError : public Error {
  public:
    InputError(int code, std::string reason, std::string file, int caseLine = 0,
               std::uint64_t line = 0, std::uint64_t column = 0, std::string text = {},
               bool hasText = false);
    const std::string& reason() const { return reason_; }  // what is wrong
    const std::string& file() const { return file_; }      // the file or source name
    int caseLine() const { return caseLine_; }             // 1..21; 0 before any line
    std::uint64_t line() const { return line_; }           // physical line, from 1; 0 unknown
    std::uint64_t column() const { return column_; }       // column, from 1; 0 unknown
    const std::string& text() const { return text_; }      // the offending text, if any

  private:
    std::string reason_, file_;
    int caseLine_;
    std::uint64_t line_, column_;
    std::string text_;
};

// The kind of a floating-point fault.
enum class Fault { divisionByZero, invalidOperation, overflow, integerConversion };

// A formula raised a floating-point fault (or a real did not fit an
// integer); no infinity or NaN is ever carried on.
class ArithmeticError : public Error {
  public:
    ArithmeticError(Fault fault, std::string quantity);
    Fault fault() const { return fault_; }
    const std::string& quantity() const { return quantity_; }  // the formula that faulted

  private:
    Fault fault_;
    std::string quantity_;
};

// The machine refused what the rating needs: memory for the grid, a file.
class ResourceError : public Error {
  public:
    ResourceError(int code, const std::string& what) : Error(code, what) {}
};

// An argument outside the domain of a library function (a negative NTU, an
// unsupported number of tube passes, temperatures that no shell reaches, a
// rating that is not one of its case). argument() names it; what() reads
// well alone. code() is 0: not an error of a run.
class InvalidArgument : public Error {
  public:
    InvalidArgument(std::string argument, const std::string& what)
        : Error(0, what), argument_(std::move(argument)) {}
    const std::string& argument() const { return argument_; }

  private:
    std::string argument_;
};

// A stream's property model gives no properties at the temperature asked:
// it lies outside the model's table, or the water is not liquid there
// (hxrate/fluid_properties.h). An InvalidArgument for "temperature", so that
// whoever handles those handles this; the fields say what range would do.
class PropertyRangeError : public InvalidArgument {
  public:
    PropertyRangeError(std::string stream, double temperature, double pressure, double low,
                       double high, const std::string& what)
        : InvalidArgument("temperature", what),
          stream_(std::move(stream)),
          temperature_(temperature),
          pressure_(pressure),
          low_(low),
          high_(high) {}
    const std::string& stream() const { return stream_; }  // "shell" or "tube"
    double temperature() const { return temperature_; }    // the one asked, degC
    double pressure() const { return pressure_; }          // the water's, Pa; 0 for a table
    // The temperatures the model covers, degC: the table's first and last, or
    // for water 0 degC to the lower of 350 degC and the boiling point.
    double low() const { return low_; }
    double high() const { return high_; }

  private:
    std::string stream_;
    double temperature_, pressure_, low_, high_;
};

// A rating with properties at the streams' mean temperatures did not
// settle: after iterations() re-ratings the outlets still moved by
// lastChange() (K, the larger of the two streams') between the last two,
// not below the tolerance (hxrate/exchanger.h). An InvalidArgument for
// "propertiesAt": rating the document at its inlets may still succeed.
class MeanNotSettled : public InvalidArgument {
  public:
    MeanNotSettled(int iterations, double lastChange, const std::string& what)
        : InvalidArgument("propertiesAt", what), iterations_(iterations), lastChange_(lastChange) {}
    int iterations() const { return iterations_; }
    double lastChange() const { return lastChange_; }

  private:
    int iterations_;
    double lastChange_;
};

// The caller stopped the rating through RateOptions::cancel; nothing of it
// is kept. code() is errorNumber::cancelled.
class Cancelled : public Error {
  public:
    Cancelled() : Error(errorNumber::cancelled, "the rating was cancelled by its caller") {}
};

}  // namespace hxrate
