// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/batch_tool.h"

#include <stdlib.h>

#include <exception>
#include <ostream>

#include "app/batch_commands.h"
#include "io/file_error.h"
#include "io/interrupt_cleanup.h"
#include "io/protected_files.h"
#include "loader/source_loader.h"
#include "loader/survey.h"
#include "records/ascii.h"
#include "velmora_version.h"

namespace velmora::batch {

namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage =
    "usage: velmora-batch [--format st|kml|gpx|geojson|csv|gpkg] [--per-ap]\n"
    "                     [--ap-position strongest|weighted] [--workdir DIR]\n"
    "                     [--vendors FILE] [--out DIR] [--] LOG [--add LOG]...\n"
    "                     [--add-folder DIR [--recursive]]... [COMMAND ...]\n"
    "       velmora-batch --help | --version\n"
    "\n"
    "Loads LOG as the desktop program's Open File does, prints its counts, then runs each\n"
    "COMMAND in turn. LOG is a wi-scan text or summary export, a binary .ns1 log or a\n"
    "WiGLE CSV log (told from its first bytes, whatever its name; any of them may be\n"
    "gzip-compressed); other radios in a WiGLE CSV are counted as \"Other Radio\n"
    "Entries Skipped\", and a .ns1 cut short loads up to the damage, which is said on\n"
    "stderr; a .ns1 of a version other than 1, 6, 8, 11 or 12 is refused (exit 1).\n"
    "\n"
    "  --add LOG       adds LOG to the survey: the counts and every command then cover\n"
    "                  all its logs, each sighting once (a sighting an earlier log holds\n"
    "                  is counted in \"Duplicate Sightings Skipped\"); exports are named\n"
    "                  after the first log\n"
    "  --add-folder DIR  adds every log in DIR (with --recursive, in its subfolders too);\n"
    "                  files that are no logs are skipped and counted, a log that cannot\n"
    "                  be read whole and a folder or subfolder that cannot be read are\n"
    "                  skipped with their reasons on stderr\n"
    "\n"
    "  --workdir DIR   keep output1, output2 and output1.extras in DIR (default: a\n"
    "                  temporary folder)\n"
    "  --vendors FILE  the vendor list (default: vlident.txt beside the program)\n"
    "  --out DIR       where export files go, made if missing (default: the current\n"
    "                  folder)\n"
    "  --format FORMAT how every export of the run is written: st, the Streets and Trips\n"
    "                  table (default, the names below); kml, gpx, geojson or csv, UTF-8\n"
    "                  map files, or gpkg, a GeoPackage database, named as below with the\n"
    "                  log's extension, or .TXT/.txt, replaced by .kml, .gpx, .geojson,\n"
    "                  .csv or .gpkg; the vendor list, where it can be read, gives each\n"
    "                  point its vendor\n"
    "  --per-ap        one point per access point (BSSID) of each export, at its strongest\n"
    "                  sighting, instead of one per sighting\n"
    "  --ap-position WHERE  with --per-ap, where each access point's point stands:\n"
    "                  strongest (default), its strongest sighting; weighted, the\n"
    "                  signal-weighted centroid of its sightings, with their spread\n"
    "                  (radius_m) in the map formats\n"
    "  --              the end of the options: LOG follows, even if it starts with \"-\"\n"
    "\n"
    "No export replaces the loaded log or the vendor list: such a command fails (exit 1)\n"
    "and writes nothing.\n"
    "\n"
    "commands:\n"
    "  convert-all     FullConvert_<log name>: every record\n"
    "  locked          LOCKED_<log name>: access points with WEP on\n"
    "  open            UNLOCKED_<log name>: access points with WEP off\n"
    "  infrastructure  All_Infrastructures_<log name>\n"
    "  adhoc           All_AD-HOC_<log name>\n"
    "  groups          every network group in list order: GROUP<TAB>unique AP count\n"
    "  ap-name NAME    AP-<NAME upper-cased>.TXT: every sighting of that group\n"
    "  aps             every AP entry in list order: ENTRY<TAB>vendor text or\n"
    "                  \"Not Found In Database\"; needs the vendor list\n"
    "  mac MAC         MAC_<12 hex digits>.txt: every sighting of MAC; prints its path.\n"
    "                  Writes nothing (exit 1) when MAC is in no record of the log.\n"
    "  vendor MAC      the vendor text of MAC, or \"Not Found In Database\"; needs the\n"
    "                  vendor list\n"
    "                  MAC (here and in criteria --mac) is six two-digit hex groups joined\n"
    "                  by \":\", any letter case; another form is refused as bad usage (exit 2)\n"
    "  matching NAME [--type bss|adhoc|both] [--wep on|off|both]\n"
    "                  the distinct MAC addresses of network NAME that meet the criteria,\n"
    "                  one a line in list order, then \"Matching Records:\" and their count\n"
    "  criteria NAME [--type bss|adhoc|both] [--wep on|off|both] [--mac MAC]\n"
    "                  Custom_SSID_<NAME>.TXT: every sighting of NAME that meets the\n"
    "                  criteria; with --mac, Custom_MAC_<12 hex digits>.TXT: every sighting\n"
    "                  of MAC under any name that meets them; prints its path. Writes\n"
    "                  nothing (exit 1) when no MAC address of NAME matches.\n"
    "                  NAME and MAC are upper-cased; --type and --wep default to both\n";

// A private folder for the working files, removed when the tool ends, also when an interrupt
// ends it: the folder and the files the tool keeps there are named for the cleanup.
class TemporaryFolder {
  public:
    TemporaryFolder() {
        std::string pattern = (temporaryFolder() / "velmora-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw FileError(pattern, systemReason());
        path_ = pattern;
        folder_.emplace(path_, InterruptCleanup::Kind::Folder);
        const WorkingFiles files{path_};
        output1_.emplace(files.output1());
        output2_.emplace(files.output2());
        extras_.emplace(files.extras());
        lock_.emplace(files.lockFile());
    }
    ~TemporaryFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
    std::optional<InterruptCleanup> folder_, output1_, output2_, extras_, lock_;
};

void printCounts(const LoadResult& result, std::ostream& out) {
    const LoadCounts& c = result.counts;
    out << "Source File Type: " << sourceTypeText(result.type) << '\n'
        << "Total Number Of Source Entries: " << c.total << '\n'
        << "Non-GPS Dropped Entries: " << c.dropped << '\n'
        << "WEP OFF Entries: " << c.wepOff << '\n'
        << "WEP ON Entries: " << c.wepOn << '\n'
        << "AP Locatiions: " << c.infrastructure << '\n'
        << "Ad-Hoc Locations: " << c.adHoc << '\n';
    if (c.otherRadios > 0)
        out << "Other Radio Entries Skipped: " << groupedDigits(c.otherRadios) << '\n';
}

const Command* findCommand(const std::string& name) {
    for (const Command& command : commands())
        if (name == command.name) return &command;
    return nullptr;
}

struct HelpRequested {};
struct VersionRequested {};

// A log or folder the survey adds to LOG.
struct Addition {
    fs::path path;
    bool folder = false;
    bool recursive = false;
};

struct Options {
    std::vector<Addition> additions;
    std::optional<fs::path> workdir;
    fs::path vendors;
    fs::path out = ".";
    fs::path log;
    std::vector<std::string> rest;
    ExportFormat format = ExportFormat::StreetsAndTrips;
    bool perAccessPoint = false;
    ApPosition apPosition = ApPosition::Strongest;
};

Options parse(const std::vector<std::string>& args, const fs::path& programFolder) {
    Options options;
    options.vendors = programFolder / "vlident.txt";
    std::size_t i = 0;
    auto value = [&](const std::string& name) {
        if (i + 1 >= args.size()) throw UsageError{name + " needs a value"};
        return fs::path(args[++i]);
    };
    // The options that set a value or a switch: true when `word` is one.
    const auto setting = [&](const std::string& word) {
        if (word == "--workdir") {
            options.workdir = value(word);
        } else if (word == "--vendors") {
            options.vendors = value(word);
        } else if (word == "--out") {
            options.out = value(word);
        } else if (word == "--format") {
            const std::string format = value(word).string();
            const auto parsed = parseExportFormat(format);
            if (!parsed)
                throw UsageError{"--format takes st, kml, gpx, geojson, csv or gpkg, not " +
                                 format};
            options.format = *parsed;
        } else if (word == "--per-ap") {
            options.perAccessPoint = true;
        } else if (word == "--ap-position") {
            const std::string where = value(word).string();
            if (where != "strongest" && where != "weighted")
                throw UsageError{"--ap-position takes strongest or weighted, not " + where};
            options.apPosition = where == "weighted" ? ApPosition::Weighted : ApPosition::Strongest;
        } else {
            return false;
        }
        return true;
    };
    for (; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (setting(word)) {
            continue;
        } else if (word == "--help" || word == "-h") {
            throw HelpRequested{};
        } else if (word == "--version") {
            throw VersionRequested{};
        } else if (word == "--") {
            // The end of the options: a log whose name starts with "-" follows.
            ++i;
            break;
        } else if (word.size() > 1 && word[0] == '-') {
            throw UsageError{"unknown option " + word};
        } else {
            break;
        }
    }
    if (i >= args.size()) throw UsageError{"no LOG given"};
    options.log = args[i++];
    // The logs and folders added to LOG; the options may stand among them.
    for (; i < args.size(); ++i) {
        if (args[i] == "--add" || args[i] == "--add-folder") {
            const bool folder = args[i] == "--add-folder";
            Addition addition{value(args[i]), folder, false};
            if (folder && i + 1 < args.size() && args[i + 1] == "--recursive") {
                addition.recursive = true;
                ++i;
            }
            options.additions.push_back(std::move(addition));
        } else if (!setting(args[i])) {
            break;
        }
    }
    options.rest.assign(args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
    return options;
}

// Loads LOG and the additions as one survey and prints its counts, one line per log and what
// was skipped. Sets `logFileName` to the survey's first log's name; returns the exit status.
int loadSurvey(const Options& options, const WorkingFiles& files, std::ostream& out,
               std::ostream& err, std::string& logFileName) {
    std::vector<fs::path> logs{options.log};
    std::vector<SkippedLog> unreadable;
    for (const Addition& addition : options.additions) {
        if (!addition.folder) {
            logs.push_back(addition.path);
            continue;
        }
        try {
            const auto found = filesInFolder(addition.path, addition.recursive, unreadable);
            logs.insert(logs.end(), found.begin(), found.end());
        } catch (const FileError& e) {
            err << "velmora-batch: " << e.path().string() << ": skipped: " << e.reason() << '\n';
        }
    }
    for (const SkippedLog& folder : unreadable)
        err << "velmora-batch: " << folder.path.string() << ": skipped: " << folder.reason << '\n';
    Survey survey(files);
    const SurveyAddResult added = survey.add(logs);
    for (const SkippedLog& failed : added.failed)
        err << "velmora-batch: " << failed.path.string() << ": skipped: " << failed.reason << '\n';
    for (const fs::path& file : added.notLogs)
        err << "velmora-batch: " << file.string() << ": not a survey log\n";
    if (added.status != LoadStatus::Loaded) {
        err << added.report << '\n';
        if (!added.reason.empty()) err << added.reason << '\n';
        return 1;
    }
    LoadResult result;
    result.type = survey.logs().front().type;
    result.counts = survey.counts();
    printCounts(result, out);
    if (survey.duplicates() > 0)
        out << "Duplicate Sightings Skipped: " << groupedDigits(survey.duplicates()) << '\n';
    if (survey.logs().size() > 1)
        for (const SurveyLog& log : survey.logs())
            out << "Log: " << log.path.string() << ": " << sourceTypeText(log.type) << ", "
                << groupedDigits(log.counts.total) << " kept, " << groupedDigits(log.counts.dropped)
                << " dropped\n";
    if (const std::size_t n = added.notLogs.size(); n > 0)
        out << groupedDigits(n)
            << (n == 1 ? " file skipped: not a survey log\n" : " files skipped: not survey logs\n");
    logFileName = survey.logs().front().path.filename().string();
    return 0;
}

int run(const Options& options, std::ostream& out, std::ostream& err) {
    // Refuse an unknown first command before the log is loaded.
    if (!options.rest.empty() && !findCommand(options.rest.front()))
        throw UsageError{"unknown command " + options.rest.front()};

    std::optional<TemporaryFolder> temporary;
    WorkingFiles files{options.workdir ? *options.workdir : fs::path()};
    if (options.workdir) {
        std::error_code ec;
        fs::create_directories(*options.workdir, ec);
        if (ec) throw FileError(*options.workdir, ec.message());
    } else {
        temporary.emplace();
        files.folder = temporary->path();
    }

    // The working folder is this run's until it ends: another run or the desktop program
    // loading into it meanwhile would change output1 under the commands.
    WorkingFolderLock lock(files);
    switch (lock.tryLock()) {
        case WorkingFolderLock::Status::Held:
            break;
        case WorkingFolderLock::Status::InUse:
            err << kFileInUse << '\n';
            return 1;
        case WorkingFolderLock::Status::Error:
            err << "Working File Error - Check Folder\n" << lock.reason() << '\n';
            return 1;
    }

    // No export of the run may replace the vendor list it reads (nor the log: the loader's).
    protectFile(ProtectedRole::VendorList, options.vendors);
    std::string logFileName = options.log.filename().string();
    if (options.additions.empty()) {
        const LoadResult result = loadSourceLog(options.log, files);
        if (result.status != LoadStatus::Loaded) {
            err << result.report << '\n';
            if (!result.reason.empty()) err << result.reason << '\n';
            return 1;
        }
        printCounts(result, out);
        // A log its reader could read only in part: loaded up to the damage, which is said.
        if (!result.damage.empty())
            err << "velmora-batch: " << options.log.string() << ": " << result.damage << '\n';
    } else if (const int status = loadSurvey(options, files, out, err, logFileName); status != 0) {
        return status;
    }

    // The export folder is made where it does not exist yet, as the working folder is.
    if (!options.rest.empty()) {
        std::error_code ec;
        fs::create_directories(options.out, ec);
        if (ec) throw FileError(options.out, ec.message());
    }

    Context context{files, options.out, options.vendors, logFileName, out, err};
    context.style.format = options.format;
    context.style.perAccessPoint = options.perAccessPoint;
    context.style.apPosition = options.apPosition;
    Args args(options.rest);
    while (!args.done()) {
        const std::string name = *args.take();
        const Command* command = findCommand(name);
        if (!command) throw UsageError{"unknown command " + name};
        if (const int status = command->run(context, args); status != 0) return status;
    }
    return 0;
}

}  // namespace

int runBatchTool(const std::vector<std::string>& args, const fs::path& programFolder,
                 std::ostream& out, std::ostream& err) {
    try {
        return run(parse(args, programFolder), out, err);
    } catch (const HelpRequested&) {
        out << kUsage;
        return 0;
    } catch (const VersionRequested&) {
        out << "velmora-batch " VELMORA_FILE_VERSION "\n";
        return 0;
    } catch (const UsageError& e) {
        if (!e.message.empty()) err << "velmora-batch: " << e.message << '\n';
        err << kUsage;
        return 2;
    } catch (const FileError& e) {
        err << "velmora-batch: " << e.what() << '\n';
        return 1;
    } catch (const std::exception& e) {
        // A sink that fails otherwise than on its file (writeExport has left the target as it
        // was): reported, not a crash.
        err << "velmora-batch: " << e.what() << '\n';
        return 1;
    }
}

}  // namespace velmora::batch
