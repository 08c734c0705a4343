#include "lang/lang_flags_combo.h"
#include "lang/language_manager.h"
#include "lang/runtime_texts.h"
#include "lang_fixture.h"

#include <QEvent>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QSvgRenderer>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

namespace nx::lang::test {

// A window with a translation client, as the program's windows have: its texts are set
// in retranslate, which runs at creation and on every LanguageChange.
class TTestForm final : public QWidget {
    Q_OBJECT
public:
    TTestForm()
    {
        auto* layout = new QVBoxLayout(this);
        label = new QLabel(this);
        layout->addWidget(label);
        retranslate();
    }
    QLabel* label;

protected:
    void changeEvent(QEvent* event) override
    {
        if (event->type() == QEvent::LanguageChange) {
            retranslate();
        }
        QWidget::changeEvent(event);
    }

private:
    void retranslate()
    {
        setWindowTitle(tr("Chart"));
        label->setText(tr("Moisture results"));
    }
};

namespace {

const QByteArray kTestTexts = "[TTestForm]\nChart=Wykres\nMoisture results=Wyniki wilgotności\n";

class Windows : public ::testing::Test {
protected:
    void SetUp() override
    {
        QFile pl(folder.path("1_pl.lng"));
        ASSERT_TRUE(pl.open(QIODevice::Append));
        pl.write("\n" + kTestTexts);
    }
    ProgramFolder folder;
    MemoryStore store;
};

TEST_F(Windows, OpenWindowRetranslatesAndLaterWindowComesUpTranslated)
{
    LanguageManager m(folder.dir());
    TTestForm open;
    open.show();
    EXPECT_EQ(open.label->text(), QStringLiteral("Moisture results"));

    m.pick(1, &store);
    EXPECT_EQ(open.label->text(), QStringLiteral("Wyniki wilgotności")) << "switch is not at once";
    EXPECT_EQ(open.windowTitle(), QStringLiteral("Wykres"));

    const TTestForm later;
    EXPECT_EQ(later.label->text(), QStringLiteral("Wyniki wilgotności"));

    m.pick(0, &store);
    EXPECT_EQ(open.label->text(), QStringLiteral("Moisture results"));
    EXPECT_EQ(open.windowTitle(), QStringLiteral("Chart"));
}

TEST_F(Windows, TextMissingInTheLanguageStaysEnglish)
{
    LanguageManager m(folder.dir());
    m.pick(2, &store);  // Deutsch has no texts of the test window
    const TTestForm form;
    EXPECT_EQ(form.label->text(), QStringLiteral("Moisture results"));
}

TEST_F(Windows, ComboListsFlagsAndNamesAndPickSwitchesAndStores)
{
    LanguageManager m(folder.dir());
    LangFlagsCombo combo(m);
    combo.setStore(&store);
    TTestForm form;
    combo.show();
    form.show();

    EXPECT_EQ(combo.size(), QSize(131, 25));
    EXPECT_FALSE(combo.isEditable());
    EXPECT_EQ(combo.font().pixelSize(), 13);
    ASSERT_EQ(combo.count(), 6);
    for (int i = 0; i < combo.count(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(combo.itemText(i), m.entries()[static_cast<std::size_t>(i)].name);
        EXPECT_FALSE(combo.itemIcon(i).isNull()) << "flag missing";
    }

    m.restore(store);
    EXPECT_EQ(combo.currentIndex(), 0);

    std::vector<int> picked;
    QObject::connect(&combo, &LangFlagsCombo::languagePicked, [&](int i) { picked.push_back(i); });
    combo.setFocus();
    QTest::keyClick(&combo, Qt::Key_Down);
    EXPECT_EQ(combo.currentIndex(), 1);
    EXPECT_EQ(store.value, 1);
    EXPECT_EQ(picked, std::vector<int>{1});
    EXPECT_EQ(form.label->text(), QStringLiteral("Wyniki wilgotności"));
    EXPECT_EQ(runtimeText(3), QStringLiteral("Nivex kawa i kakao"));
}

TEST_F(Windows, ComboFollowsRestoreIncludingNoEntry)
{
    LanguageManager m(folder.dir());
    LangFlagsCombo combo(m);
    combo.setStore(&store);
    store.value = 4;
    m.restore(store);
    EXPECT_EQ(combo.currentIndex(), 4);
    EXPECT_EQ(combo.currentText(), QStringLiteral("Español"));
    store.value = 9;
    m.restore(store);
    EXPECT_EQ(combo.currentIndex(), -1);
    EXPECT_EQ(store.writes, 0);
}

TEST(Flags, EachFlagShowsItsColoursInTheRightPlaces)
{
    struct Probe {
        double x, y;  // fractions of width and height
        QRgb colour;
    };
    struct Case {
        const char* file;
        std::vector<Probe> probes;
    };
    const QRgb white = qRgb(0xFF, 0xFF, 0xFF);
    const Case cases[] = {
        {"flag_pl.svg", {{0.5, 0.25, white}, {0.5, 0.75, qRgb(0xDC, 0x14, 0x3C)}}},
        {"flag_de.svg",
         {{0.5, 0.15, qRgb(0, 0, 0)}, {0.5, 0.5, qRgb(0xDD, 0, 0)}, {0.5, 0.85, qRgb(0xFF, 0xCE, 0)}}},
        {"flag_fr.svg",
         {{0.15, 0.5, qRgb(0, 0x26, 0x54)}, {0.5, 0.5, white}, {0.85, 0.5, qRgb(0xCE, 0x11, 0x26)}}},
        {"flag_es.svg",
         {{0.5, 0.1, qRgb(0xAA, 0x15, 0x1B)},
          {0.5, 0.5, qRgb(0xF1, 0xBF, 0)},
          {0.5, 0.9, qRgb(0xAA, 0x15, 0x1B)}}},
        {"flag_ru.svg",
         {{0.5, 0.15, white}, {0.5, 0.5, qRgb(0, 0x39, 0xA6)}, {0.5, 0.85, qRgb(0xD5, 0x2B, 0x1E)}}},
        // Union Jack: blue field, red cross, and the red diagonal strip beside each
        // diagonal on the clockwise side (upper-left arm: below the diagonal).
        {"flag_en.svg",
         {{0.5, 0.5, qRgb(0xC8, 0x10, 0x2E)},
          {0.1, 0.5, qRgb(0xC8, 0x10, 0x2E)},
          {0.0667, 0.2667, qRgb(0x01, 0x21, 0x69)},
          {0.3333, 0.0667, qRgb(0x01, 0x21, 0x69)},
          {0.75, 0.7, qRgb(0xC8, 0x10, 0x2E)},
          {0.75, 0.8, white},
          {0.25, 0.3, qRgb(0xC8, 0x10, 0x2E)},
          {0.25, 0.2, white},
          {0.75, 0.2, qRgb(0xC8, 0x10, 0x2E)}}},
    };
    const ProgramFolder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        QSvgRenderer renderer(folder.path(c.file));
        ASSERT_TRUE(renderer.isValid());
        QImage image(600, 300, QImage::Format_RGB32);
        QPainter painter(&image);
        renderer.render(&painter);
        painter.end();
        for (const Probe& p : c.probes) {
            SCOPED_TRACE(testing::Message() << p.x << "," << p.y);
            EXPECT_EQ(image.pixel(int(p.x * 599), int(p.y * 299)), p.colour);
        }
    }
}

}  // namespace
}  // namespace nx::lang::test

#include "window_test.moc"
