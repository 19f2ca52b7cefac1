// Keys of the option file: the one file of settings that labelcalc, labelweb
// and labelsite read (common/settings.h) and that somtrain and somlabel
// write. A key is compared whole and case-sensitively; key and values are
// separated by spaces. The names are the format's and stay as they are.
#pragma once

#include <string_view>

#include "common/settings.h"

namespace somlabel {
namespace option_keys {

// Known to every tool.
inline constexpr std::string_view kMode = "MODE";
inline constexpr std::string_view kKeaModel = "KEA_MODEL";
inline constexpr std::string_view kNumberOfPhrases = "NUMBEROFPHRASES";
inline constexpr std::string_view kOutputPath = "OUTPUTPATH";
inline constexpr std::string_view kKeyPath = "KEYPATH";
inline constexpr std::string_view kKeaFileExtension = "KEAFILEEXTENSION";
inline constexpr std::string_view kSourcePath = "SOURCEPATH";
inline constexpr std::string_view kTmpKeaPath = "TMPKEAPATH";

// labelcalc's own.
inline constexpr std::string_view kKeaProgram = "KEA_PROGRAM";

// labelweb's own (labelsite reads them too).
inline constexpr std::string_view kKeyFilesLinkPath = "KEYFILESLINKPATH";
inline constexpr std::string_view kSourceFilesLinkPath = "SOURCEFILESLINKPATH";
inline constexpr std::string_view kKeyLinksOutput = "KEYLINKS_OUTPUT";
inline constexpr std::string_view kCadreliOutput = "CADRELI_OUTPUT";
inline constexpr std::string_view kFileLinksOutput = "FILELINKS_OUTPUT";

}  // namespace option_keys

// The keys every tool reads, and the settings their values replace.
inline constexpr OptionKey kSharedKeys[] = {
    {option_keys::kMode, OptionKind::mode, nullptr, &Settings::mode},
    text_key(option_keys::kKeaModel, &Settings::model),
    number_key(option_keys::kNumberOfPhrases, &Settings::number_of_phrases),
    text_key(option_keys::kOutputPath, &Settings::path),
    text_key(option_keys::kKeyPath, &Settings::keypath),
    text_key(option_keys::kKeaFileExtension, &Settings::keyfileending),
    text_key(option_keys::kSourcePath, &Settings::sourcepath),
    text_key(option_keys::kTmpKeaPath, &Settings::kea_tmp_path),
};

// The keys labelcalc reads beyond the shared ones.
inline constexpr OptionKey kLabelcalcKeys[] = {
    text_key(option_keys::kKeaProgram, &Settings::kea_program),
};

// The keys labelweb and labelsite read beyond the shared ones.
inline constexpr OptionKey kLabelwebKeys[] = {
    text_key(option_keys::kKeyFilesLinkPath, &Settings::keylinkpath),
    text_key(option_keys::kSourceFilesLinkPath, &Settings::sourcelinkpath),
    number_key(option_keys::kKeyLinksOutput, &Settings::keylinks_output),
    number_key(option_keys::kCadreliOutput, &Settings::cadrelI_output),
    number_key(option_keys::kFileLinksOutput, &Settings::filelinks_output),
};

}  // namespace somlabel
