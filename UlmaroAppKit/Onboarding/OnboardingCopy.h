#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ulmaro {

/// Every text of the first-run flow. English only, shown verbatim; counts are grouped
/// "1,845,603" whatever the locale.
namespace OnboardingCopy {

inline constexpr std::string_view welcomeTitle = "Ulmaro";
inline constexpr std::string_view welcomeTagline =
    "Every file on your computer, as fast as you type.";
inline constexpr std::string_view welcomeBody =
    "Ulmaro builds an index of your file names — like the index at the back of a book. It "
    "takes about a minute, once. Every search after that is instant.";
inline constexpr std::string_view welcomeQuestion = "What should Ulmaro search?";
inline constexpr std::string_view welcomeButton = "This computer and my drives";
inline constexpr std::string_view welcomeCatalogOnlyButton = "Only drives and folders I choose";

inline constexpr std::string_view indexingTitle = "Finding your files";
inline constexpr std::string_view indexingLearningTitle = "Learning dates & sizes";
inline constexpr std::string_view indexingFoundSoFar = "found so far";
inline constexpr std::string_view indexingLearningCaption =
    "files found · now reading their details";
inline constexpr std::string_view indexingPrivacy =
    "Ulmaro only reads your file names, never their contents. Nothing is uploaded — nothing "
    "ever leaves this computer.";

inline constexpr std::string_view privacyHeadline = "Everything stays on this computer";
inline constexpr std::string_view privacyDetail =
    "Your index is a plain file in your own data folder. Ulmaro has no account, no server and "
    "no analytics — it never connects to the internet to search, and nothing about your files "
    "is ever uploaded.";
inline constexpr std::string_view privacyNamesOnly =
    "It reads file names only — never what is inside them.";
inline constexpr std::string_view privacyNoIndex = "Folders marked .noindex are skipped.";

inline constexpr std::string_view continueInBackgroundButton = "Continue in background";
inline constexpr std::string_view continueButton = "Continue";
inline constexpr std::string_view readyHotkeyLine = "Press Alt+Space to open Ulmaro from anywhere.";
inline constexpr std::string_view readyNoHotkeyLine =
    "Open Ulmaro any time from its icon in the tray.";

inline constexpr std::string_view searchTitle = "How to search";
inline constexpr std::string_view searchLead =
    "A search can be more than a name. Mix any of these.";
inline constexpr std::string_view searchCheatSheetLine =
    "any time, for every operator and shortcut";
inline constexpr std::string_view searchFooter = searchLead;

inline constexpr std::string_view drivesTitle = "Catalog your drives?";
inline constexpr std::string_view drivesBody =
    "Tick a drive to keep a catalog of it: its files stay searchable after you unplug it. "
    "Unticked drives are left alone.";
inline constexpr std::string_view drivesUnpluggedNote =
    "Plug in another drive later and Ulmaro will ask before cataloguing it.";

inline constexpr std::string_view tryTheseHeader = "Try one of these";
inline constexpr std::string_view doneButton = "Done";

inline constexpr std::string_view contentTitle = "Search inside your documents";
inline constexpr std::string_view contentBody =
    "Ulmaro can read the text inside PDFs and Office documents in these folders, so you can "
    "find a file by what is in it, not just what it is called. Everything else is still "
    "searched by name.";
inline constexpr std::string_view contentAddButton = "Add a folder";
inline constexpr std::string_view contentNoneSelected =
    "No folders selected. Ulmaro will search names only.";

inline constexpr std::string_view allSetTitle = "Your computer just got searchable";
inline constexpr std::string_view allSetSpeedLine =
    "Results appear as you type, in about two milliseconds. No waiting, no spinner, no "
    "wondering whether it looked everywhere.";

/// The drive step lists this many drives; the rest are neither shown nor ticked.
inline constexpr int maxDrivesShown = 4;

struct SearchExample {
    std::string_view query;
    std::string_view meaning;
};

inline constexpr std::array<SearchExample, 5> searchExamples = {{
    {"invoice", "find by name"},
    {".pdf invoice", "only PDFs"},
    {"contains:brindlewick", "search inside documents"},
    {"size:>100mb", "anything large"},
    {"dm:<7d", "changed this week"},
}};

/// "and 3 more", the number without grouping.
std::string moreDrives(std::int64_t count);
/// The ready step's line for the summon shortcut `shortcut` ("Alt+Space").
std::string readyHotkeyLineFor(std::string_view shortcut);
/// `readyHotkeyLine` around another shortcut: "Press Ctrl+K to open Ulmaro from anywhere."
std::string hotkeyLine(std::string_view shortcut);
std::string tryTheseFooter(std::int64_t indexedCount);
std::string allSetCountLine(std::int64_t indexedCount);

/// Every text for review, with sample arguments for the functions.
const std::vector<std::string>& all();

} // namespace OnboardingCopy
} // namespace ulmaro
