#include "lang/language_manager.h"

#include "base/exception.h"
#include "lang/language_codes.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>

#include <algorithm>

namespace nx::lang {

namespace {

QString designCode()
{
    return QString::fromLatin1(kDesignCode.data(), static_cast<qsizetype>(kDesignCode.size()));
}

}  // namespace

LanguageManager::LanguageManager(const QString& programDir, QObject* parent)
    : QObject(parent), currentCode_(designCode())
{
    load(programDir);
}

LanguageManager::~LanguageManager()
{
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::removeTranslator(&translator_);
    }
}

void LanguageManager::load(const QString& programDir)
{
    const QDir dir(programDir);
    entries_.push_back({QStringLiteral("English"), designCode(),
                        dir.absoluteFilePath(QStringLiteral("flag_en.svg")), QString()});

    QStringList names = dir.entryList(QDir::Files | QDir::Readable | QDir::Hidden);
    names.erase(std::remove_if(names.begin(), names.end(),
                               [](const QString& n) {
                                   return !n.endsWith(QLatin1String(kLanguageFileSuffix),
                                                      Qt::CaseInsensitive);
                               }),
                names.end());
    // A stable order that does not depend on the file system or the locale.
    std::sort(names.begin(), names.end());

    for (const QString& name : names) {
        const QString path = dir.absoluteFilePath(name);
        LanguageFile file;
        try {
            file = readLanguageFile(path);
        } catch (const nx::Exception&) {
            continue;  // not a language; start-up goes on without it
        }
        // A second file with a code already listed could never be switched to by its code.
        const bool taken = std::any_of(entries_.begin(), entries_.end(),
                                       [&](const LanguageEntry& e) { return e.code == file.code; });
        if (taken) {
            continue;
        }
        entries_.push_back({file.name, file.code, dir.absoluteFilePath(file.flagFile), path});
    }
}

QString LanguageManager::codeOfEntry(int index) const
{
    if (index < 0 || index >= count()) {
        return {};
    }
    return entries_[static_cast<std::size_t>(index)].code;
}

bool LanguageManager::switchToCode(const QString& code)
{
    if (code.isEmpty()) {
        return false;
    }
    const auto it = std::find_if(entries_.begin(), entries_.end(),
                                 [&](const LanguageEntry& e) { return e.code == code; });
    if (it == entries_.end()) {
        return false;
    }
    if (it->filePath.isEmpty()) {
        QCoreApplication::removeTranslator(&translator_);
    } else {
        LanguageFile file;
        try {
            file = readLanguageFile(it->filePath);
        } catch (const nx::Exception&) {
            // Changed or removed since the list was made: stay in the current language.
            return false;
        }
        QCoreApplication::removeTranslator(&translator_);
        translator_.setLanguage(std::move(file));
        QCoreApplication::installTranslator(&translator_);
    }
    currentCode_ = code;
    // Qt posts the re-translation to the windows; deliver it now so the switch is at once.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
    return true;
}

int LanguageManager::actLangNbr() const { return languageNumber(codeOfEntry(selected_)); }

void LanguageManager::select(int index)
{
    selected_ = (index >= 0 && index < count()) ? index : -1;
    emit selectionChanged(selected_);
}

void LanguageManager::restore(LanguageStore& store)
{
    select(store.readLanguage());
    switchToCode(codeOfEntry(selected_));
}

void LanguageManager::pick(int index, LanguageStore* store)
{
    if (index < 0 || index >= count()) {
        return;
    }
    select(index);
    switchToCode(codeOfEntry(index));
    if (store != nullptr) {
        store->writeLanguage(index);
    }
}

}  // namespace nx::lang
