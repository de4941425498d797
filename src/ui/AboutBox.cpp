#include "ui/AboutBox.hpp"

#include <QDesktopServices>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "common/IniFile.hpp"
#include "common/StringTable.hpp"
#include "ui/IconStore.hpp"
#include "ui/QtText.hpp"

#ifndef VELMAR_VERSION
#define VELMAR_VERSION ""
#endif

namespace velmar::ui {

namespace {

constexpr int kTextVersion = 2801;
constexpr int kTextCaption = 2805;
constexpr int kTextMail = 2808;
constexpr int kTextWeb = 2810;
constexpr int kTextClose = 96;

QLabel* LinkLabel(const QString& url, const QString& shown, QWidget* parent) {
    auto* label = new QLabel(
        QStringLiteral("<a href=\"%1\">%2</a>").arg(url.toHtmlEscaped(), shown.toHtmlEscaped()), parent);
    label->setTextFormat(Qt::RichText);
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    QObject::connect(label, &QLabel::linkActivated, parent,
                     [](const QString& link) { QDesktopServices::openUrl(QUrl(link)); });
    return label;
}

}  // namespace

std::string TVelmarAboutBox::VersionOf(const common::IniFile& mainIni, const std::string& programVersion) {
    std::string version = mainIni.ReadString("Main", "Version", "3.10");
    int numbers[3] = {0, 0, 0};
    int parsed = 0;
    std::size_t at = 0;
    while (parsed < 3 && at < programVersion.size()) {
        std::size_t end = at;
        while (end < programVersion.size() && programVersion[end] >= '0' && programVersion[end] <= '9') {
            ++end;
        }
        if (end == at || end - at > 6) {
            break;
        }
        numbers[parsed++] = std::stoi(programVersion.substr(at, end - at));
        at = end + 1;
    }
    if (parsed == 3) {
        version = common::FormatString("%d.%d.%d", {numbers[0], numbers[1], numbers[2]});
    }
    return version;
}

TVelmarAboutBox::TVelmarAboutBox(const common::IniFile& mainIni, IconStore& icons, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("VelmarAboutBox"));
    setWindowTitle(Text(kTextCaption));
    setWindowIcon(icons.ActionIcon("LOGO"));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 16);
    layout->setSpacing(20);
    auto* logo = new QLabel(this);
    logo->setPixmap(icons.Picture("LOGO", 96));
    logo->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    layout->addWidget(logo);

    auto* column = new QVBoxLayout();
    column->setSpacing(3);
    fullName_ = new QLabel(QStr(mainIni.ReadString("Main", "FullName", "?")), this);
    QFont big = fullName_->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    big.setBold(true);
    fullName_->setFont(big);
    fullName_->setWordWrap(true);
    column->addWidget(fullName_);
    version_ =
        new QLabel(Text(kTextVersion) + QStringLiteral(" ") + QStr(VersionOf(mainIni, VELMAR_VERSION)), this);
    column->addWidget(version_);
    column->addSpacing(10);
    column->addWidget(new QLabel(Text(text::kMakerName), this));
    column->addWidget(new QLabel(Text(text::kMakerPhone), this));
    column->addWidget(new QLabel(Text(text::kMakerFax), this));
    auto* links = new QGridLayout();
    links->setVerticalSpacing(3);
    const QString mail = Text(text::kMakerMail);
    const QString web = Text(text::kMakerWeb);
    links->addWidget(new QLabel(Text(kTextMail), this), 0, 0);
    links->addWidget(LinkLabel(QStringLiteral("mailto:") + mail, mail, this), 0, 1);
    links->addWidget(new QLabel(Text(kTextWeb), this), 1, 0);
    links->addWidget(LinkLabel(web, web, this), 1, 1);
    links->setColumnStretch(1, 1);
    column->addLayout(links);
    column->addStretch(1);
    auto* close = new QPushButton(Text(kTextClose), this);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    column->addWidget(close, 0, Qt::AlignRight);
    layout->addLayout(column, 1);
    setFixedSize(sizeHint().expandedTo(QSize(460, 250)));
}

QString TVelmarAboutBox::FullNameText() const {
    return fullName_->text();
}

QString TVelmarAboutBox::VersionText() const {
    return version_->text();
}

}  // namespace velmar::ui
