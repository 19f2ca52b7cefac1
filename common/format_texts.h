// The texts that labelcalc and labelweb print word for word as the map-file
// format has always worded them: users and scripts grep for them, and the
// case folders in tests/cases pin every one of them byte for byte, so none of
// them may change, not even a blank. They are printf formats; those on
// standard error go through quote() (common/messages.h), which adds nothing.
//
// The other tools word their own messages (say(), warn(), fail()) and copy
// none of these.
#pragma once

namespace somlabel::texts {

// The start-up frame (common/frame.h).
inline constexpr const char* kUsage = "Usage: %s processfile config_file\n";
inline constexpr const char* kBanner = "%s, Version %s by Orvandel Oct 2002\n";
inline constexpr const char* kBugreport = "Bugreport to %s, thx\n";
inline constexpr const char* kStarting = "Starting ....\n";
inline constexpr const char* kInvalidMode =
    "Invalid value for option MODE in given option file, ciao ...\n";
inline constexpr const char* kStartTime = "Start time : %s";
inline constexpr const char* kEndingTime = "Ending time: %s";

// labelcalc: the map driver and the pass over the unit file.
inline constexpr const char* kErrorParsingMap = "Error parsing unit file for map %s\n";
inline constexpr const char* kUnitFileNotFound = "Unitfile %s not found.... (%s)\n";
inline constexpr const char* kProcessingMap = "Processing %s and writing %s ...\n";
inline constexpr const char* kErrorWritingFile = "Error writing file\n";
inline constexpr const char* kErrorCalculatingKeyphrases =
    "Error calculating keyphrases for Unit %d %d in map %s\n";
inline constexpr const char* kErrorCatting =
    "AN Error occured while catting the files and parsing them\n";
inline constexpr const char* kMappedVecsExceeded[] = {
    "Warning: maximum of mapped vectors (%d) exceeded in unit (%d/%d)\n",
    "If this unit is a leave only the first %d vectors are taken for label calculation.\n",
    "You find the vectors in the unitfile %s.labelunit!\n",
};
inline constexpr const char* kCorruptUnitFile[] = {
    "j= %d , mapped_vecs = %d\n",
    "Corrupt Unit-Torvelfile %s..., or is there an error in my proggy\n",
    "...workaround j = mapped vec :-D \n",
};
inline constexpr const char* kErrorOpeningKeyfile = "Error opening keyfile %s (%s)\n";
inline constexpr const char* kErrorOpeningSubLabelunit =
    "Error opening mapped label unitfile %s (%s)\n";

// labelcalc: the labels of a unit and the map key file.
inline constexpr const char* kFileNotFound = "File not found %s (%s)\n";
inline constexpr const char* kCouldNotWriteToDisk = "Couldn't write to disk %s\n";
inline constexpr const char* kKeyFileMissing = "Uiiii, where is it ??  /%s (%s)\n";
inline constexpr const char* kCouldNotOpenFile = "Couldn't open file %s (%s)\n";
inline constexpr const char* kCouldNotOpenLabelunit = "Couldn't open labelunit file %s ! (%s)\n";
inline constexpr const char* kCouldNotWriteKeyfile = "Couldn't write keyfile %s !\n";
inline constexpr const char* kWrongKeyfileFormat = "Wrong format of keyfile: %.*s\n";
inline constexpr const char* kDesiredFormatNoSecondField =
    "Desired format:phrase stemmed_phrase score !!\n";
inline constexpr const char* kDesiredFormatNoThirdField =
    "Desired format:phrase stemmed_phrase score !\n";
inline constexpr const char* kStartWithOptionA = "Start KEAKeyphraseExtractor with option -a !";
// On standard output, behind the phrase, when a phrase table is full.
inline constexpr const char* kUnitTableFull = " omitted, maximum phrases per unit (%d) reached!!\n";
inline constexpr const char* kMapTableFull =
    " is omitted, maximum phrases per unit (%d) reached!!\n";

// labelweb: the page driver.
inline constexpr const char* kProcessingPage = "Processing %s ....";
inline constexpr const char* kWritingPage = "and writing %s !\n";
inline constexpr const char* kCouldNotOpenLabelfile = "Couldn't open labelfile: %s (%s)\n";
inline constexpr const char* kCouldNotOpenHtmlfile = "Couldn't open htmlfile: %s\n";
inline constexpr const char* kErrorGeneratingHtml = "Error generating html code for %s\n";

}  // namespace somlabel::texts
