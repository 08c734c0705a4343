#include "base/exception.h"
#include "store_fixture.h"

#include <QFile>
#include <QProcess>

#include <unistd.h>

namespace nx::store::test {
namespace {

// The holder opens the database in another process and keeps it open.
class Holder {
public:
    explicit Holder(const QString& programPath, uid_t user = 0, const QString& lockFolder = {})
    {
        if (user != 0) {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            // Without a lock folder the store picks one of the user's own.
            if (lockFolder.isEmpty())
                environment.remove(QStringLiteral("FIREBIRD_LOCK"));
            else
                environment.insert(QStringLiteral("FIREBIRD_LOCK"), lockFolder);
            environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
            process_.setProcessEnvironment(environment);
            process_.setChildProcessModifier([user] {
                if (setgid(user) != 0 || setuid(user) != 0)
                    _exit(70);
            });
        }
        process_.start(QStringLiteral(NX_DB_HOLDER), {programPath});
        process_.waitForStarted();
        process_.waitForReadyRead(60000);
        firstLine_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
    }
    ~Holder()
    {
        process_.closeWriteChannel();
        if (!process_.waitForFinished(60000))
            process_.kill();
    }
    QString firstLine() const { return firstLine_; }

private:
    QProcess process_;
    QString firstLine_;
};

std::string openError(const QString& programPath)
{
    Database db;
    try {
        db.open(programPath);
    } catch (const Exception& e) {
        EXPECT_FALSE(db.isOpen());
        return e.what();
    }
    return {};
}

constexpr uid_t kNobody = 65534;

TEST(OpenTest, MissingFileNamesTheFile)
{
    DatabaseCopy copy;
    QFile::remove(copy.file());
    const std::string message = openError(copy.programPath());
    EXPECT_NE(message.find(copy.file().toStdString()), std::string::npos) << message;
    EXPECT_NE(message.find("does not exist"), std::string::npos) << message;
}

TEST(OpenTest, DamagedFileNamesTheFileAndTheDatabasesReason)
{
    struct Case {
        const char* name;
        QByteArray content;
    };
    const Case cases[] = {
        {"empty file", QByteArray()},
        {"not a database", QByteArray("this is not a database file\n").repeated(500)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DatabaseCopy copy;
        QFile file(copy.file());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.content);
        file.close();
        const std::string message = openError(copy.programPath());
        EXPECT_NE(message.find("Cannot open the database \"" + copy.file().toStdString() + "\""),
                  std::string::npos)
            << message;
        EXPECT_GT(message.size(), copy.file().size() + 30u) << "the reason is missing: " << message;
    }
}

TEST(OpenTest, FileOpenInAnotherProcessIsReported)
{
    DatabaseCopy copy;
    Holder holder(copy.programPath());
    ASSERT_EQ(holder.firstLine(), QStringLiteral("open"));
    const std::string message = openError(copy.programPath());
    EXPECT_NE(message.find(copy.file().toStdString()), std::string::npos) << message;
}

TEST(OpenTest, AnotherUserCanOpenAWritableCopyButNotAReadOnlyOrUnreadableOne)
{
    DatabaseCopy copy;
    QTemporaryDir lock;
    const bool root = geteuid() == 0;
    const auto everyone = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                          QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    QFile::setPermissions(copy.folder(), everyone | QFile::WriteGroup | QFile::WriteOther);
    QFile::setPermissions(lock.path(), everyone | QFile::WriteGroup | QFile::WriteOther);

    const auto readWrite = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup |
                           QFile::ReadOther | QFile::WriteOther;
    if (root) {
        QFile::setPermissions(copy.file(), readWrite);
        {
            Holder user(copy.programPath(), kNobody, lock.path());
            EXPECT_EQ(user.firstLine(), QStringLiteral("open")) << "a user other than the builder";
        }
        Holder ownLocks(copy.programPath(), kNobody);
        EXPECT_EQ(ownLocks.firstLine(), QStringLiteral("open")) << "with the lock folder the store chose";
    }

    // Root may read and write anything, so as root the refusals are checked as nobody.
    struct Case {
        const char* name;
        QFile::Permissions permissions;
        const char* reason;
    };
    const Case cases[] = {
        {"read-only", QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther, "The file is read-only"},
        {"unreadable", QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther, "The file cannot be read"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::setPermissions(copy.file(), c.permissions);
        const QString expected = QStringLiteral("error: Cannot open the database \"%1\". %2")
                                     .arg(copy.file(), QString::fromLatin1(c.reason));
        QString line;
        if (root) {
            Holder user(copy.programPath(), kNobody, lock.path());
            line = user.firstLine();
        } else {
            line = QString::fromStdString("error: " + openError(copy.programPath()));
        }
        EXPECT_TRUE(line.startsWith(expected)) << line.toStdString();
    }
}

TEST(OpenTest, DatabaseMarkedReadOnlyIsFoundAtOpenNotAtTheFirstWrite)
{
    DatabaseCopy copy;
    QProcess gfix;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("FIREBIRD_LOCK"), copy.folder());
    gfix.setProcessEnvironment(environment);
    gfix.start(QStringLiteral(NX_GFIX), {QStringLiteral("-mode"), QStringLiteral("read_only"),
                                         QStringLiteral("-user"), QStringLiteral("SYSDBA"), copy.file()});
    ASSERT_TRUE(gfix.waitForFinished(60000));
    ASSERT_EQ(gfix.exitCode(), 0) << gfix.readAllStandardError().toStdString();
    const std::string message = openError(copy.programPath());
    EXPECT_EQ(message.rfind("Cannot open the database \"" + copy.file().toStdString() + "\".", 0), 0u)
        << message;
    EXPECT_NE(message.find("read-only"), std::string::npos) << message;
}

TEST(OpenTest, OpenTwiceIsRefused)
{
    DatabaseCopy copy;
    Database db;
    db.open(copy.programPath());
    EXPECT_THROW(db.open(copy.programPath()), Exception);
    EXPECT_TRUE(db.isOpen());
}

}  // namespace
}  // namespace nx::store::test
