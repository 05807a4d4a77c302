// Every text the conversion shows, logs or generates, exactly as the user
// and the converted sites see it.
#pragma once

namespace tagshift::texts {

inline constexpr const char* kCrLf = "\r\n";

// Status texts.
inline constexpr const char* kStatusDisabling = "Progress: Disabling Interface";
inline constexpr const char* kStatusCheckingDirectory = "Progress: Checking Directory";
inline constexpr const char* kStatusCheckingFileNames = "Progress: Checking File Names";
inline constexpr const char* kStatusCopying = "Progress: Copying Directory";
inline constexpr const char* kStatusPreparing = "Progress: Preparing Javascript";
inline constexpr const char* kStatusCheckingFile = "Progress: Checking File: ";
inline constexpr const char* kStatusConverted = "Progress: Website Converted";

// What a run reports: why it refused or failed, and its summary.
inline constexpr const char* kErrorNoFolder = "No folder chosen or chosen folder does not exist...";
inline constexpr const char* kErrorRootFolder =
    "A root folder cannot be converted: its copy would hold the whole drive. Choose a folder inside it...";
inline constexpr const char* kErrorNoPattern = "You must select a pattern...";
inline constexpr const char* kErrorDestExists =
    "A converted folder of this name already exists - have you already converted this one?";
inline constexpr const char* kErrorDestInside =
    "The converted folder would lie inside the folder being converted: ";
inline constexpr const char* kErrorDestInsideOf = " lies inside ";
inline constexpr const char* kErrorCopyFailed = "The folder could not be copied: ";
inline constexpr const char* kErrorWriteFailed = "The converted folder could not be written: ";
inline constexpr const char* kErrorConvertFailed = "The site could not be converted: ";
inline constexpr const char* kErrorWalkFailed = "A folder of the site could not be read: ";
inline constexpr const char* kErrorLogFailed = "The run log could not be written: ";
inline constexpr const char* kErrorRenameFailed = "The converted folder could not be put in place: ";
inline constexpr const char* kSummaryFiles = "Files Converted: ";
inline constexpr const char* kSummaryFunctions = " | Functions Replaced: ";
inline constexpr const char* kSummaryVisible = "Your new website(s) are visible at ";
inline constexpr const char* kSummaryWouldBe = "Your new website(s) would be written to ";
inline constexpr const char* kSummaryNotConverted = "Pages Not Converted: ";
inline constexpr const char* kSummaryNotCopied = "Files and Folders Not Copied: ";
inline constexpr const char* kSummarySeeLog = " (see converter_log.txt)";
inline constexpr const char* kSummaryLeftOut = "Entries Left Out: ";
inline constexpr const char* kSummaryPagesChanged = "Pages Changed: ";
inline constexpr const char* kSummaryLeftAlone = "Tags Left Alone: ";
inline constexpr const char* kSummaryUseVerbose = " (use --verbose to list them)";

inline constexpr const char* kReasonNoMemory = "not enough memory";

// Run log lines.
inline constexpr const char* kLogStarted = "Process Started";
inline constexpr const char* kLogNoFolder = "No Folder chosen or Folder does not exist";
inline constexpr const char* kLogRootFolder = "Root folder cannot be converted";
inline constexpr const char* kLogNoPattern = "No file types available";
inline constexpr const char* kLogDestExists = "Converted folder already exists";
inline constexpr const char* kLogDestInside = "Converted folder would lie inside the source folder";
inline constexpr const char* kLogCopying = "Copying Folder:";
inline constexpr const char* kLogDestination = "Destination Folder:";
inline constexpr const char* kLogProcessing = "Processing File:";
inline constexpr const char* kLogFailed = "Failed File:";
inline constexpr const char* kLogFailedFolder = "Failed Folder:";
// "Tag Left Alone:PAGE:LINE: <OBJECT left as it is (capital letters)"
inline constexpr const char* kLogLeftAlone = "Tag Left Alone:";
inline constexpr const char* kLogLeftAloneWhy = " left as it is (";
inline constexpr const char* kLogNotCopied = "; not copied either: ";
inline constexpr const char* kLogUnreadable = " - not copied: ";  // a file or folder the source would not give
inline constexpr const char* kLogComplete = "Process Complete";
inline constexpr const char* kLogLeftOut = "Left Out: ";    // "Left Out: PATH - a named pipe, not a file"
inline constexpr const char* kLogReplaced = "Replaced: ";   // the source's own log, which the run's replaces
inline constexpr const char* kWhyOwnLog = "the source's own converter_log.txt";

// Names.
inline constexpr const char* kDestSuffix = "_Converted";
inline constexpr const char* kIncompleteSuffix = ".incomplete-";  // the new tree's name until it is complete
inline constexpr const char* kLogFileName = "converter_log.txt";
inline constexpr const char* kDefaultPatterns = "*.htm;*.html;*.php;*.php3;*.asp;*.aspx";

}  // namespace tagshift::texts
