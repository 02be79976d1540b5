// Small pieces the wizard's dialogs share.
#pragma once

#include <QPushButton>
#include <QString>

#include <string>

namespace kalvex {

// The core's texts are UTF-8.
inline QString U(const char* Text) {
    return QString::fromUtf8(Text);
}

inline QString U(const std::string& Text) {
    return QString::fromStdString(Text);
}

inline QPushButton* Button(QWidget* Parent, const char* Text, const char* Name) {
    auto* B = new QPushButton(U(Text), Parent);
    B->setObjectName(QString::fromLatin1(Name));
    return B;
}

} // namespace kalvex
