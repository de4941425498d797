#pragma once
// UTF-8 texts of the program in and out of Qt, and the window layer's texts by id.

#include <string>

#include <QString>

#include "ui/UiText.hpp"

namespace velmar::ui {

inline QString QStr(const std::string& text) {
    return QString::fromStdString(text);
}

inline std::string StdStr(const QString& text) {
    return text.toStdString();
}

// The text of string id `id`.
inline QString Text(int id) {
    return QStr(UiText(id));
}

}  // namespace velmar::ui
