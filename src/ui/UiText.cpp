#include "ui/UiText.hpp"

#include <algorithm>
#include <array>
#include <utility>

namespace velmar::ui {

namespace {

struct OwnText {
    int id;
    const char* text;
};

// Sorted by id.
constexpr std::array kOwnTexts = {
    OwnText{text::kMakerName, "Велмар — лаборатория вибродиагностики"},
    OwnText{text::kMakerPhone, "Тел.: +7 (000) 000-00-00"},
    OwnText{text::kMakerFax, "Факс: +7 (000) 000-00-01"},
    OwnText{text::kMakerMail, "support@velmar.example"},
    OwnText{text::kMakerWeb, "https://velmar.example"},
    OwnText{text::kYes, "Да"},
    OwnText{text::kNo, "Нет"},
    OwnText{text::kError, "Ошибка"},
    OwnText{text::kWarning, "Предупреждение"},
    OwnText{text::kInformation, "Информация"},
    OwnText{text::kConfirmation, "Подтверждение"},
    OwnText{text::kMakingDemoArchive, "Создание демонстрационного архива..."},
    OwnText{text::kCannotOpenArchive, "Не удалось открыть архив %s: %s"},
    OwnText{text::kCommandFailed, "Команда не выполнена: %s"},
    OwnText{text::kNotAvailable, "Эта функция в программе пока недоступна"},
    OwnText{text::kSelectNodeCaption, "Выбор из архива"},
    OwnText{text::kNewMachineCaption, "Новый агрегат"},
    OwnText{text::kMachineBrand, "Марка агрегата"},
    OwnText{text::kNameSetCaption, "Структура наименований замера"},
    OwnText{text::kNameSetName, "Наименование"},
    OwnText{text::kNameSetFile, "Имя файла"},
    OwnText{text::kWrite, "Записать"},
    OwnText{text::kShowFullNames, "Полные наименования"},
    OwnText{text::kShowShortNames, "Короткие наименования"},
    OwnText{text::kFullName, "Полное наименование"},
    OwnText{text::kShortName, "Короткое наименование"},
    OwnText{text::kEntryPoint, "Точка"},
    OwnText{text::kEntryDirection, "Направление точки"},
    OwnText{text::kEntryFreeChannel, "Канал без точки"},
    OwnText{text::kHelpMissing, "Файл справки не найден: %s"},
    OwnText{text::kCannotStart, "Программа не может начать работу: %s"},
    OwnText{text::kEntryKind, "Что добавить"},
    OwnText{text::kEditNamesCaption, "Наименование"},
    OwnText{text::kDemoArchiveFailed, "Демонстрационный архив не создан: %s"},
    OwnText{text::kPassportPicture, "Схема агрегата"},
    OwnText{text::kNoNameSet, "(без наименований)"},
    OwnText{text::kEntryNeedsPoint, "Направление добавляется к выбранной точке"},
    OwnText{text::kCannotWriteFile, "Не удалось записать файл %s"},
    OwnText{text::kBadFileName, "Недопустимое имя файла"},
    OwnText{text::kCannotDelete, "Не удалось удалить с диска: %s"},
    OwnText{text::kFileNotFound, "Файл %s не найден !"},
    OwnText{text::kCannotWriteSettings, "Не удалось записать настройки в %s"},
    OwnText{text::kUnexpectedError, "Непредвиденная ошибка"},
    OwnText{text::kCannotCopy, "Не удалось скопировать в Буфер Обмена: %s"},
};

static_assert(std::is_sorted(kOwnTexts.begin(), kOwnTexts.end(),
                             [](const OwnText& a, const OwnText& b) { return a.id < b.id; }));

const char* OwnTextOf(int id) {
    const auto it = std::lower_bound(kOwnTexts.begin(), kOwnTexts.end(), id,
                                     [](const OwnText& entry, int wanted) { return entry.id < wanted; });
    return it != kOwnTexts.end() && it->id == id ? it->text : nullptr;
}

}  // namespace

std::string UiText(int id) {
    if (common::StringTableHasId(id)) {
        return common::LoadText(id);
    }
    const char* own = OwnTextOf(id);
    return own != nullptr ? std::string(own) : std::string();
}

std::string UiFormat(int id, std::initializer_list<common::FormatArg> args) {
    return common::FormatString(UiText(id), args);
}

bool UiTextHasId(int id) {
    return common::StringTableHasId(id) || OwnTextOf(id) != nullptr;
}

}  // namespace velmar::ui
