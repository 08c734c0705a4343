#pragma once

#include "lang/language_manager.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace nx::lang::test {

// A program folder of its own holding the shipped language files and flags.
class ProgramFolder {
public:
    ProgramFolder()
    {
        const QDir resources(QStringLiteral(NX_TEST_SOURCE_DIR "/resources"));
        for (const QString& name :
             resources.entryList({QStringLiteral("*.lng"), QStringLiteral("flag_*.svg")})) {
            QFile::copy(resources.filePath(name), path(name));
        }
    }
    QString dir() const { return tmp_.path(); }
    QString path(const QString& name) const { return QDir(tmp_.path()).filePath(name); }
    void write(const QString& name, const QByteArray& content) const
    {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
    }
    void remove(const QString& name) const { ASSERT_TRUE(QFile::remove(path(name))); }

private:
    QTemporaryDir tmp_;
};

// The stored choice kept in memory, for tests that are not about the database.
class MemoryStore final : public LanguageStore {
public:
    int readLanguage() override { return value; }
    void writeLanguage(int index) override
    {
        value = index;
        ++writes;
    }
    int value = 0;
    int writes = 0;
};

}  // namespace nx::lang::test
