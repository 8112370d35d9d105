// hxrate-report as a user runs it: exit statuses, the files it writes and
// leaves alone, and the page as a real browser renders it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

#include <hxrate/report.h>

#include "checksum.h"
#include "colours.h"
#include "report_html.h"

namespace {

namespace fs = std::filesystem;
const std::string fixedName = "48230007640350000606.txt";

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string dataCase(const std::string& name) {
    return std::string(HXRATE_REPORT_DATA_DIR) + "/" + name + ".txt";
}

class Scratch {
  public:
    Scratch() {
        std::string pattern = (fs::temp_directory_path() / "hxrate-report-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~Scratch() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    fs::path operator/(const std::string& name) const { return path_ / name; }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

std::string quoted(const std::string& s) {
    std::string out = "'";
    for (char ch : s) out += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
    return out + "'";
}

struct ProgramRun {
    int status;
    std::string out, err;
};

// Runs `program` in `folder` with its output captured.
ProgramRun run(const std::string& program, const std::vector<std::string>& args,
               const fs::path& folder) {
    std::string command = "cd " + quoted(folder.string()) + " && " + quoted(program);
    for (const std::string& a : args) command += " " + quoted(a);
    fs::path out = folder / ".stdout", err = folder / ".stderr";
    command += " >" + quoted(out.string()) + " 2>" + quoted(err.string()) + " </dev/null";
    int raw = std::system(command.c_str());
    ProgramRun r{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readText(out), readText(err)};
    fs::remove(out);
    fs::remove(err);
    return r;
}

ProgramRun report(const std::vector<std::string>& args, const fs::path& folder) {
    return run(HXRATE_REPORT_EXE, args, folder);
}

TEST(ReportCommand, ExitStatuses) {
    Scratch s;
    fs::copy_file(dataCase("clean"), s / "clean.txt");
    fs::copy_file(dataCase("tube-overlap"), s / "overlap.txt");
    fs::copy_file(dataCase("rejected-tube-reynolds"), s / "rejected.txt");
    writeText(s / "short.txt", "1 1\n2 0.016\n");
    struct Row {
        std::vector<std::string> args;
        int status;
        const char* report;  // the JSON written, or null
        const char* why;
    } rows[] = {
        {{"clean.txt"}, 0, "clean.report.json", "a clean case"},
        {{"overlap.txt"}, 0, "overlap.report.json", "errors do not fail without --strict"},
        {{"--strict", "overlap.txt"}, 3, "overlap.report.json", "--strict fails on an error"},
        {{"--strict", "clean.txt"}, 0, "clean.report.json", "--strict passes a clean case"},
        {{"rejected.txt"}, 0, "rejected.report.json", "a rejected case is reported"},
        {{"short.txt"}, 1, nullptr, "input failure: no report"},
        {{"missing.txt"}, 1, nullptr, "no case file"},
        {{"--bogus"}, 2, nullptr, "unknown option"},
        {{"a.txt", "b.txt"}, 2, nullptr, "two paths"},
    };
    for (const Row& row : rows) {
        for (const auto& entry : fs::directory_iterator(s.path()))
            if (entry.path().string().find(".report.") != std::string::npos) fs::remove(entry);
        ProgramRun r = report(row.args, s.path());
        EXPECT_EQ(r.status, row.status) << row.why << "\n" << r.err;
        if (row.report) {
            EXPECT_TRUE(fs::exists(s / row.report)) << row.why;
        } else {
            bool none = true;
            for (const auto& entry : fs::directory_iterator(s.path()))
                none &= entry.path().string().find(".report.") == std::string::npos;
            EXPECT_TRUE(none) << row.why;
        }
    }
    ProgramRun shortCase = report({"short.txt"}, s.path());
    EXPECT_TRUE(shortCase.err.starts_with("hxrate-report: run-time error 11: ")) << shortCase.err;
    ProgramRun rejected = report({"rejected.txt"}, s.path());
    nlohmann::json j = nlohmann::json::parse(readText(s / "rejected.report.json"));
    EXPECT_EQ(j["status"], "rejected");
    EXPECT_GT(j["rejection"]["triggers"][0]["value"].get<double>(), 5e6);
}

TEST(ReportCommand, FolderHoldsTheFixedNameAndTheProgramsFilesStayUntouched) {
    Scratch s;
    fs::copy_file(dataCase("clean"), s / fixedName);
    writeText(s / "48230007650350000606.txt", "earlier results\r\n");
    writeText(s / "Log file.txt", "earlier log\r\n");
    ProgramRun r = report({}, s.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readText(s / "48230007650350000606.txt"), "earlier results\r\n");
    EXPECT_EQ(readText(s / "Log file.txt"), "earlier log\r\n");
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(s.path()))
        names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{fixedName, "48230007650350000606.txt", "Log file.txt",
                                            "48230007640350000606.report.json",
                                            "48230007640350000606.report.html"}));
}

TEST(ReportCommand, OutputFolderAndJsonOnStandardOutput) {
    Scratch s;
    fs::create_directories(s / "case");
    fs::copy_file(dataCase("decimal-comma"), s / "case" / "pump.txt");
    ProgramRun r = report({"case/pump.txt", "-o", "out", "--json", "-"}, s.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(s / "out" / "pump.report.html"));
    EXPECT_FALSE(fs::exists(s / "case" / "pump.report.json"));
    nlohmann::json j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j, nlohmann::json::parse(readText(s / "out" / "pump.report.json")));
    EXPECT_EQ(j["warnings"][0]["code"], "decimal-comma");
    EXPECT_NE(r.err.find("decimal-comma"), std::string::npos);
}

// Whatever bytes a case or its file name holds, the JSON is valid UTF-8 (an
// ill-formed sequence becomes U+FFFD) and the page shows it escaped.
TEST(ReportCommand, AnyBytesGiveValidUtf8) {
    const std::string fffd = "\xEF\xBF\xBD";
    std::string clean = readText(dataCase("clean"));
    std::string latin1 = clean;
    latin1.replace(latin1.find("EngineOil"), 9, "'K\xfchl\xf6l'");
    const struct {
        std::string file, bytes, name, fluid;
        const char* why;
    } rows[] = {
        {"oil.txt", latin1, "oil", "K" + fffd + "hl" + fffd + "l", "a Latin-1 fluid name"},
        {"k\xfchl.txt", clean, "k" + fffd + "hl", "EngineOil", "a file name not in UTF-8"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        Scratch s;
        writeText(s / row.file, row.bytes);
        ProgramRun r = report({row.file, "--json", "-"}, s.path());
        ASSERT_EQ(r.status, 0) << r.err;
        nlohmann::json j = nlohmann::json::parse(r.out);  // throws on ill-formed UTF-8
        EXPECT_EQ(j["case"]["name"], row.name);
        for (const nlohmann::json& input : j["inputs"]) {
            if (input["key"] == "shell_fluid_name") {
                EXPECT_EQ(input["value"], row.fluid);
            }
        }
        std::string page = readText(s / (row.file.substr(0, row.file.size() - 4) + ".report.html"));
        EXPECT_EQ(page.find("\xfc"), std::string::npos);
        EXPECT_TRUE(page.find("k&#xFFFD;hl") != std::string::npos ||
                    page.find("K&#xFFFD;hl&#xFFFD;l") != std::string::npos);
    }
}

// A case document is read as the 21-line file it came from is, and the
// extensions it carries reach the report; a bad one names its field.
TEST(ReportCommand, ReadsAndWritesTheCaseDocument) {
    Scratch s;
    fs::copy_file(dataCase("clean"), s / "clean.txt");
    ProgramRun written = report({"--case-json", "clean.txt", "-o", "clean.json"}, s.path());
    ASSERT_EQ(written.status, 0) << written.err;
    EXPECT_EQ(report({"--case-json", "clean.txt"}, s.path()).out, readText(s / "clean.json"));
    EXPECT_EQ(report({"--case-json", "--strict", "clean.txt"}, s.path()).status, 2);

    ProgramRun fromLines = report({"clean.txt", "--json", "-"}, s.path());
    ProgramRun fromDocument = report({"clean.json", "--json", "-"}, s.path());
    ASSERT_EQ(fromDocument.status, 0) << fromDocument.err;
    nlohmann::json lines = nlohmann::json::parse(fromLines.out);
    nlohmann::json document = nlohmann::json::parse(fromDocument.out);
    EXPECT_EQ(document["results"]["overall_coefficient"].get<double>(),
              lines["results"]["overall_coefficient"].get<double>());
    EXPECT_EQ(document["results"]["tube_outlet_temperature"],
              lines["results"]["tube_outlet_temperature"]);
    EXPECT_FALSE(document.contains("extensions"));

    nlohmann::json fouled = nlohmann::json::parse(readText(s / "clean.json"));
    fouled["extensions"] = {{"fouling_outside", {{"value", 3.5e-4}, {"unit", "m2 K/W"}}}};
    writeText(s / "fouled.json", fouled.dump());
    ProgramRun r = report({"fouled.json", "--json", "-"}, s.path());
    ASSERT_EQ(r.status, 0) << r.err;
    nlohmann::json x = nlohmann::json::parse(r.out)["extensions"]["results"];
    EXPECT_GT(x["clean_coefficient"].get<double>(), x["service_coefficient"].get<double>());
    EXPECT_GT(x["service_coefficient"].get<double>(), 0);
    EXPECT_NE(readText(s / "fouled.report.html").find("id=\"extensions-table\""),
              std::string::npos);

    // A document's property models and mode are written back, not dropped:
    // its document rates as it does.
    fs::copy_file(HXRATE_REAL_FLUIDS, s / "real.json");
    ProgramRun real = report({"--case-json", "real.json", "-o", "again.json"}, s.path());
    ASSERT_EQ(real.status, 0) << real.err;
    nlohmann::json again = nlohmann::json::parse(readText(s / "again.json"));
    EXPECT_EQ(again["case"]["shell_fluid"]["model"], "table");
    EXPECT_EQ(again["properties_at"], "mean");
    auto rated = [&](const char* file) {
        nlohmann::json j = nlohmann::json::parse(report({file, "--json", "-"}, s.path()).out);
        return std::pair{j["results"], j["fluid_properties"]};
    };
    EXPECT_EQ(rated("again.json"), rated("real.json"));

    const struct {
        const char* pointer;   // the field spoilt
        nlohmann::json value;  // its new value, null to leave it out
        const char* field;     // what the message must name
    } bad[] = {
        {"/case/tube_inner_diameter/unit", "kg", "tube_inner_diameter"},
        {"/case/tube_count", nullptr, "tube_count"},
        {"/case/shell_fluid/density/value", "heavy", "density"},
    };
    for (const auto& row : bad) {
        SCOPED_TRACE(row.pointer);
        nlohmann::json spoilt = nlohmann::json::parse(readText(s / "clean.json"));
        nlohmann::json::json_pointer at(row.pointer);
        if (row.value.is_null()) {
            spoilt[at.parent_pointer()].erase(at.back());
        } else {
            spoilt[at] = row.value;
        }
        writeText(s / "bad.json", spoilt.dump());
        ProgramRun refused = report({"bad.json"}, s.path());
        EXPECT_EQ(refused.status, 1);
        EXPECT_NE(refused.err.find(row.field), std::string::npos) << refused.err;
        EXPECT_FALSE(fs::exists(s / "bad.report.json"));
    }
}

// A Bell-Delaware geometry outside the method's domain is an input failure
// named by its kind and field, with no report; a sound one is rated.
TEST(ReportCommand, NamesADomainErrorByItsKindAndField) {
    Scratch s;
    fs::copy_file(dataCase("cross-flow"), s / "x.txt");
    ProgramRun written = report({"--case-json", "x.txt", "-o", "x.json"}, s.path());
    ASSERT_EQ(written.status, 0) << written.err;
    nlohmann::json document = nlohmann::json::parse(readText(s / "x.json"));
    document["extensions"] = {{"shell_side", "bell-delaware"}};
    writeText(s / "bell.json", document.dump());
    ProgramRun rated = report({"bell.json", "--json", "-"}, s.path());
    ASSERT_EQ(rated.status, 0) << rated.err;
    nlohmann::json results = nlohmann::json::parse(rated.out)["extensions"]["results"];
    EXPECT_GT(results["shell_pressure_drop"].get<double>(), 0);

    document["extensions"]["baffles"] = {
        {"tube_to_baffle_clearance", {{"value", 0.5}, {"unit", "m"}}}};
    writeText(s / "wide.json", document.dump());
    ProgramRun refused = report({"wide.json"}, s.path());
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.err.starts_with(
        "hxrate-report: invalid argument: extensions.baffles.tube_to_baffle_clearance 0.5 m"))
        << refused.err;
    EXPECT_EQ(refused.err.find("run-time error"), std::string::npos) << refused.err;
    EXPECT_FALSE(fs::exists(s / "wide.report.json"));
    EXPECT_FALSE(fs::exists(s / "wide.report.html"));
}

TEST(ReportPage, IsSelfContained) {
    Scratch s;
    fs::copy_file(dataCase("cross-flow"), s / "x.txt");
    ASSERT_EQ(report({"x.txt"}, s.path()).status, 0);
    std::string page = readText(s / "x.report.html");
    EXPECT_NE(page.find("Content-Security-Policy\" content=\"default-src 'none'"),
              std::string::npos);
    for (const char* outside : {"<script", "http://", "https://", "@import", "url(", "<link"}) {
        std::string text = page;
        // The SVG namespace is a name, not a request.
        for (std::size_t at; (at = text.find("http://www.w3.org/2000/svg")) != std::string::npos;)
            text.erase(at, 26);
        EXPECT_EQ(text.find(outside), std::string::npos) << outside;
    }
    EXPECT_EQ(page.find("nan"), std::string::npos);
    EXPECT_EQ(page.find("inf "), std::string::npos);
    EXPECT_NE(page.find("(estimate)"), std::string::npos) << "Kern's drop is not marked";
}

std::string browserArgs(const Scratch& s) {
    return "--user-data-dir=" + (s / "browser").string();
}

// The text content of the element with `id` in a serialised DOM.
std::string elementText(const std::string& dom, const std::string& id) {
    std::size_t at = dom.find("id=\"" + id + "\"");
    if (at == std::string::npos) return {};
    std::size_t from = dom.find('>', at) + 1;
    return dom.substr(from, dom.find('<', from) - from);
}

TEST(ReportPage, RendersInARealBrowser) {
    const std::string chromium = "/usr/bin/chromium";
    if (!fs::exists(chromium))
        GTEST_SKIP() << "Chromium is not installed at " << chromium << ": the page is not rendered";
    Scratch s;
    fs::copy_file(HXRATE_EXAMPLE_CASE, s / fixedName);
    fs::copy_file(dataCase("decimal-comma"), s / "comma.txt");
    fs::copy_file(std::string(HXRATE_VIBRATION_EXAMPLES) + "/vibrating.json", s / "vibrating.json");
    ASSERT_EQ(report({}, s.path()).status, 0);
    ASSERT_EQ(report({"comma.txt"}, s.path()).status, 0);
    ASSERT_EQ(report({"vibrating.json"}, s.path()).status, 0);
    writeText(s / "blank.html", "<!DOCTYPE html><html><body></body></html>\n");
    const std::vector<std::string> common = {"--headless",
                                             "--no-sandbox",
                                             "--disable-gpu",
                                             "--disable-quic",
                                             "--no-first-run",
                                             "--disable-background-networking",
                                             "--disable-component-update",
                                             "--disable-sync",
                                             "--hide-scrollbars",
                                             browserArgs(s)};

    auto dumpDom = [&](const std::string& page) {
        std::vector<std::string> args = common;
        args.push_back("--dump-dom");
        args.push_back("file://" + (s / page).string());
        return run(chromium, args, s.path());
    };
    ProgramRun dom = dumpDom("48230007640350000606.report.html");
    ASSERT_EQ(dom.status, 0) << dom.err;
    nlohmann::json j = nlohmann::json::parse(readText(s / "48230007640350000606.report.json"));
    using hxrate::report::formatNumber;
    auto shows = [&](const std::string& id, double value) {
        std::string text = elementText(dom.out, id);
        EXPECT_TRUE(text.starts_with(formatNumber(value)))
            << id << " shows \"" << text << "\", expected " << formatNumber(value);
    };
    shows("summary-u", j["results"]["overall_coefficient"]);
    shows("summary-area", j["results"]["area"]);
    shows("summary-duty", j["results"]["duty"]);
    shows("summary-tube-outlet", j["results"]["tube_outlet_temperature"]);
    shows("summary-tube-dp", j["pressure_drops"]["tube"]["pressure_drop"]);
    EXPECT_NE(dom.out.find("<polyline id=\"tube\""), std::string::npos);

    ProgramRun comma = dumpDom("comma.report.html");
    EXPECT_NE(comma.out.find("class=\"error\" data-code=\"decimal-comma\""), std::string::npos);
    EXPECT_NE(comma.out.find("\"3,5\" was read as 3"), std::string::npos);

    // The vibration section as the browser parsed it: the unstable spans'
    // bars red, the limit's line and its label, the instability listed.
    ProgramRun vibrating = dumpDom("vibrating.report.html");
    ASSERT_EQ(vibrating.status, 0) << vibrating.err;
    EXPECT_EQ(elementText(vibrating.out, "vibration-limit-label"), "limit 1");
    for (const char* part : {"<h2>Flow-induced vibration</h2>", "id=\"vibration-limit\"",
                             "<rect id=\"vibration-bar-window-central\" class=\"over\"",
                             "<rect id=\"vibration-bar-window-outlet\" class=\"over\"",
                             "class=\"error\" data-code=\"fluid-elastic-instability\""})
        EXPECT_NE(vibrating.out.find(part), std::string::npos) << part;

    for (const char* name : {"48230007640350000606.report", "blank"}) {
        std::vector<std::string> args = common;
        args.push_back("--window-size=900,1400");
        args.push_back("--screenshot=" + (s / (std::string(name) + ".png")).string());
        args.push_back("file://" + (s / (std::string(name) + ".html")).string());
        ProgramRun shot = run(chromium, args, s.path());
        ASSERT_TRUE(fs::exists(s / (std::string(name) + ".png"))) << shot.err;
    }
    std::string page = readText(s / "48230007640350000606.report.png");
    std::string blank = readText(s / "blank.png");
    ASSERT_TRUE(page.starts_with("\x89PNG\r\n\x1a\n"));
    // Text, tables and a chart compress far worse than an empty page.
    EXPECT_GT(page.size(), 5 * blank.size()) << "the rendered page looks blank";
}

TEST(Sha256, GivesTheStandardDigests) {
    const struct {
        std::string input, digest, why;
    } rows[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855", "empty"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", "one block"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1",
         "56 bytes: the length spills into a second block"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0", "many blocks"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(hxrate::tools::sha256Hex(row.input), row.digest) << row.why;
}

// The page as a datasheet: its title block, the words it shows in place of
// codes, signs and quantities not formed, the rows a warning concerns, the
// resistance breakdown and the chart's axis.
TEST(ReportPage, IsADatasheet) {
    const std::string fixedDate = "2026-01-02 03:04:05 UTC";
    const struct {
        std::string file;  // empty: the example case
        std::vector<std::string> args;
        const char* epoch;                                       // SOURCE_DATE_EPOCH, or null
        std::vector<std::pair<std::string, std::string>> shows;  // element id, leading text
        std::vector<std::string> contains;
        std::vector<std::string> lacks;
        std::string why;
    } rows[] = {
        {"",
         {"--date", fixedDate, "--title", "Oil cooler E-101", "--project", "P<7>", "--revision",
          "B"},
         nullptr,
         {{"header-title", "Oil cooler E-101"},
          {"header-project", "P&lt;7&gt;"},
          {"header-revision", "B"},
          {"header-date", fixedDate},
          {"header-case", fixedName},
          {"header-version", "hxrate " + std::string(hxrate::version())},
          {"summary-type", std::string(hxrate::exchangerTitle(1))}},
         {"3259 W (tube stream heated)", "3259 W (shell stream cooled)"},
         {"−3259", "-3259", "given off\"", "class=\"flagged\""},
         "title block from the options; duty as a magnitude with its direction"},
        {"",
         {},
         "86400",
         {{"header-date", "1970-01-02 00:00:00 UTC"}},
         {},
         {"header-project", "header-revision"},
         "SOURCE_DATE_EPOCH dates the page; absent options leave no rows"},
        {"rejected-tube-reynolds",
         {"--date", fixedDate},
         nullptr,
         {{"summary-u", "not formed"},
          {"summary-tube-dp", "not formed"},
          {"summary-shell-dp", "not formed"},
          {"summary-duty", "not formed"}},
         {},
         {" Pa<", "id=\"resistance\""},
         "a rejected case shows no U, duty or pressure drop"},
        {"decimal-comma",
         {"--date", fixedDate},
         nullptr,
         {},
         {"<tr class=\"flagged\" data-case-line=\"4\""},
         {},
         "the misread tube length is highlighted"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        Scratch s;
        const std::string name = row.file.empty() ? fixedName : row.file + ".txt";
        fs::copy_file(row.file.empty() ? HXRATE_EXAMPLE_CASE : dataCase(row.file), s / name);
        if (row.epoch) setenv("SOURCE_DATE_EPOCH", row.epoch, 1);
        ProgramRun r = report(row.args.empty() ? std::vector<std::string>{name} : [&] {
            std::vector<std::string> a = row.args;
            a.push_back(name);
            return a;
        }(), s.path());
        unsetenv("SOURCE_DATE_EPOCH");
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string stem = fs::path(name).stem().string();
        std::string page = readText(s / (stem + ".report.html"));
        EXPECT_EQ(elementText(page, "header-sha256"), hxrate::tools::sha256Hex(readText(s / name)));
        for (const auto& [id, text] : row.shows)
            EXPECT_TRUE(elementText(page, id).starts_with(text))
                << id << " shows \"" << elementText(page, id) << "\", expected " << text;
        for (const std::string& text : row.contains)
            EXPECT_NE(page.find(text), std::string::npos) << text;
        for (const std::string& text : row.lacks)
            EXPECT_EQ(page.find(text), std::string::npos) << text;

        if (row.file.empty() && !row.epoch) {
            // The breakdown's shares add up to the whole.
            std::size_t at = page.find("id=\"resistance-table\"");
            ASSERT_NE(at, std::string::npos);
            double sum = 0;
            int parts = 0;
            for (std::size_t end = page.find("</table>", at); (at = page.find(" %</td>", at)) < end;
                 ++at, ++parts)
                sum += std::stod(page.substr(page.rfind('>', at) + 1));
            EXPECT_EQ(parts, 3);
            EXPECT_NEAR(sum, 100, 0.1);
            // The temperature axis holds every inlet and outlet with a margin
            // of at most a quarter of their span on either side.
            nlohmann::json j = nlohmann::json::parse(readText(s / (stem + ".report.json")));
            auto attribute = [&](const std::string& key) {
                std::size_t from = page.find(key + "=\"") + key.size() + 2;
                return std::stod(page.substr(from));
            };
            double low = attribute("data-y-min"), high = attribute("data-y-max");
            std::vector<double> temperatures = {j["results"]["tube_outlet_temperature"],
                                                j["results"]["shell_outlet_temperature"]};
            for (const nlohmann::json& input : j["inputs"])
                if (input["key"].get<std::string>().ends_with("inlet_temperature"))
                    temperatures.push_back(input["value"]);
            ASSERT_EQ(temperatures.size(), 4u);
            double tMin = *std::min_element(temperatures.begin(), temperatures.end());
            double tMax = *std::max_element(temperatures.begin(), temperatures.end());
            EXPECT_LE(low, tMin);
            EXPECT_GE(high, tMax);
            EXPECT_LE(high - low, (tMax - tMin) * 1.2) << low << " to " << high;
            EXPECT_NE(page.find("id=\"tube-inlet\""), std::string::npos);
            EXPECT_NE(page.find("id=\"shell-arrow\""), std::string::npos);
            EXPECT_NE(page.find(std::string("stroke=\"") + hxrate::tools::tubeColour),
                      std::string::npos);
        }
    }
}

// Printed to PDF by headless Chromium, each page of an A4 report takes one
// to three sheets; with the fluids' section and charts of real fluids, or a
// document's inputs with the vibration section, four.
TEST(ReportPage, PrintsToAFewSheets) {
    const std::string chromium = "/usr/bin/chromium";
    if (!fs::exists(chromium))
        GTEST_SKIP() << "Chromium is not installed at " << chromium << ": no PDF is printed";
    Scratch s;
    fs::copy_file(HXRATE_EXAMPLE_CASE, s / fixedName);
    fs::copy_file(HXRATE_REAL_FLUIDS, s / "real-fluids.json");
    fs::copy_file(std::string(HXRATE_VIBRATION_EXAMPLES) + "/vibrating.json", s / "vibrating.json");
    for (const char* name : {"rejected-tube-reynolds", "decimal-comma", "cross-flow"})
        fs::copy_file(dataCase(name), s / (std::string(name) + ".txt"));
    const std::pair<std::string, int> pages[] = {
        {fixedName, 3},        {"rejected-tube-reynolds.txt", 3}, {"decimal-comma.txt", 3},
        {"cross-flow.txt", 4}, {"real-fluids.json", 4},           {"vibrating.json", 5}};
    for (const auto& [file, most] : pages) {
        SCOPED_TRACE(file);
        ASSERT_EQ(report({file}, s.path()).status, 0);
        const std::string stem = fs::path(file).stem().string();
        const fs::path pdf = s / (stem + ".pdf");
        ProgramRun print = run(
            chromium,
            {"--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
             "--disable-background-networking", "--no-pdf-header-footer", browserArgs(s),
             "--print-to-pdf=" + pdf.string(), "file://" + (s / (stem + ".report.html")).string()},
            s.path());
        ASSERT_TRUE(fs::exists(pdf)) << print.err;
        std::string bytes = readText(pdf);
        int sheets = 0;
        for (std::size_t at = 0; (at = bytes.find("/Type /Page", at)) != std::string::npos; ++at)
            sheets += bytes.compare(at, 12, "/Type /Pages") != 0;
        EXPECT_GE(sheets, 1);
        EXPECT_LE(sheets, most);
    }
}

}  // namespace
