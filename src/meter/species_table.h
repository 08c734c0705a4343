#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <array>

namespace nx::meter {

// Species names by language and species number, from the text file "GatunkiNXMc.txt"
// beside the program: one line per species, "number#English#Polish#German#French#
// Spanish#Russian#". Cells are addressed by (column, row) where the row is the number
// written at the head of the line and column k >= 1 holds the line's k-th name.
class SpeciesTable {
public:
    static constexpr int kColumns = 30;

    // Reads the file: a UTF-8 or UTF-16 byte-order mark gives the encoding, otherwise the
    // single-byte code page; lines end with CR LF, LF or CR. Errors (nx::Exception):
    // "Cannot open file "<full name>". <reason>" leaves the table as it was; "'<text>' is
    // not a valid integer value" stops at that line and keeps the lines before it.
    void load(const QString& path);

    // The name for a language number (0 English ... 5 Russian); empty when none is set.
    QString name(int languageNumber, int speciesNumber) const;
    // A cell as loaded; column 0 is the number text exactly as written.
    QString cell(int column, int row) const;
    // The table's nominal height: lines of the file plus 5.
    int nominalRows() const { return nominalRows_; }

private:
    QHash<int, std::array<QString, kColumns>> rows_;
    int nominalRows_ = 0;
};

// The text split into lines the way the file is read: a break after the last line does
// not add a line, every further one does.
QStringList splitLines(const QString& text);
// The file's bytes as text, by byte-order mark or else the single-byte code page.
QString decodeText(const QByteArray& bytes);

}  // namespace nx::meter
