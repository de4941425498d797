#pragma once
// Texts of the window layer. Every caption, hint and message is looked up by id: the program's string table
// first, then a small table of texts the windows need that the shared table does not hold yet. An id the
// shared table gains later wins over the entry here, so the two never disagree for long.

#include <initializer_list>
#include <string>

#include "common/StringTable.hpp"

namespace velmar::ui {

// Ids of the window layer's own texts.
namespace text {
inline constexpr int kMakerName = 2821;
inline constexpr int kMakerPhone = 2822;
inline constexpr int kMakerFax = 2823;
inline constexpr int kMakerMail = 2824;
inline constexpr int kMakerWeb = 2825;

inline constexpr int kYes = 21100;
inline constexpr int kNo = 21101;
inline constexpr int kError = 21102;
inline constexpr int kWarning = 21103;
inline constexpr int kInformation = 21104;
inline constexpr int kConfirmation = 21105;
inline constexpr int kMakingDemoArchive = 21106;
inline constexpr int kCannotOpenArchive = 21107;
inline constexpr int kCommandFailed = 21108;
inline constexpr int kNotAvailable = 21109;
inline constexpr int kSelectNodeCaption = 21110;
inline constexpr int kNewMachineCaption = 21111;
inline constexpr int kMachineBrand = 21112;
inline constexpr int kNameSetCaption = 21113;
inline constexpr int kNameSetName = 21114;
inline constexpr int kNameSetFile = 21115;
inline constexpr int kWrite = 21116;
inline constexpr int kShowFullNames = 21117;
inline constexpr int kShowShortNames = 21118;
inline constexpr int kFullName = 21119;
inline constexpr int kShortName = 21120;
inline constexpr int kEntryPoint = 21121;
inline constexpr int kEntryDirection = 21122;
inline constexpr int kEntryFreeChannel = 21123;
inline constexpr int kHelpMissing = 21124;
inline constexpr int kCannotStart = 21125;
inline constexpr int kEntryKind = 21126;
inline constexpr int kEditNamesCaption = 21127;
inline constexpr int kDemoArchiveFailed = 21128;
inline constexpr int kPassportPicture = 21129;
inline constexpr int kNoNameSet = 21130;
inline constexpr int kEntryNeedsPoint = 21131;
inline constexpr int kCannotWriteFile = 21132;
inline constexpr int kBadFileName = 21133;
inline constexpr int kCannotDelete = 21134;
inline constexpr int kFileNotFound = 21135;
inline constexpr int kCannotWriteSettings = 21136;
inline constexpr int kUnexpectedError = 21137;
inline constexpr int kCannotCopy = 21138;
}  // namespace text

// The text of `id`: the string table's, else the window layer's own; empty for an unknown id.
std::string UiText(int id);

// FormatString with UiText(id) as the format.
std::string UiFormat(int id, std::initializer_list<common::FormatArg> args);

// Whether the id has a text in either table.
bool UiTextHasId(int id);

}  // namespace velmar::ui
