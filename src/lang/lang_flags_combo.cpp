#include "lang/lang_flags_combo.h"

#include <QFile>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace nx::lang {

namespace {

constexpr QSize kControlSize(131, 25);
constexpr QSize kFlagSize(24, 16);

QIcon flagIcon(const QString& path)
{
    if (!QFile::exists(path)) {
        return {};
    }
    QSvgRenderer renderer(path);
    if (!renderer.isValid()) {
        return {};
    }
    QPixmap pixmap(kFlagSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    return QIcon(pixmap);
}

}  // namespace

LangFlagsCombo::LangFlagsCombo(LanguageManager& manager, QWidget* parent)
    : QComboBox(parent), manager_(manager)
{
    setObjectName(QStringLiteral("LangFlagsCombo1"));
    setEditable(false);
    setFixedSize(kControlSize);
    setIconSize(kFlagSize);
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(13);
    setFont(font);

    for (const LanguageEntry& entry : manager_.entries()) {
        addItem(flagIcon(entry.flagPath), entry.name, entry.code);
    }
    setCurrentIndex(manager_.selectedIndex());

    connect(&manager_, &LanguageManager::selectionChanged, this, [this](int index) {
        const QSignalBlocker block(this);
        setCurrentIndex(index);
    });
    connect(this, &QComboBox::activated, this, &LangFlagsCombo::onActivated);
}

void LangFlagsCombo::onActivated(int index)
{
    manager_.pick(index, store_);
    emit languagePicked(index);
}

}  // namespace nx::lang
