// The desktop files that an install puts in place: the menu entry and the AppStream description
// pass their validators (where the tools are installed), and the entry starts Olv on a file.

#include <QtTest>

namespace {

const QString kFolder = QStringLiteral(OLV_SOURCE_DIR "/packaging/");

// The tool's exit code and what it said, or -1 when it is not installed.
std::pair<int, QString> validate(const QString& tool, const QStringList& args) {
    const QString path = QStandardPaths::findExecutable(tool);
    if (path.isEmpty()) return {-1, QString()};
    QProcess p;
    p.start(path, args);
    p.waitForFinished(60000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError())};
}

} // namespace

class PackagingTest : public QObject {
    Q_OBJECT
private slots:
    void menuEntryStartsOlvOnAFile() {
        QSettings entry(kFolder + "org.olvproject.Olv.desktop", QSettings::IniFormat);
        entry.beginGroup("Desktop Entry");
        QCOMPARE(entry.value("Exec").toString(), QStringLiteral("olv %f"));
        QCOMPARE(entry.value("Icon").toString(), QStringLiteral("org.olvproject.Olv"));
        QVERIFY(QFile::exists(kFolder + "org.olvproject.Olv.svg"));
        const auto [code, said] = validate("desktop-file-validate", {kFolder + "org.olvproject.Olv.desktop"});
        if (code < 0) QSKIP("desktop-file-validate is not installed");
        QVERIFY2(code == 0 && said.trimmed().isEmpty(), qPrintable(said));
    }

    void appStreamDescriptionIsValid() {
        const auto [code, said] =
            validate("appstreamcli", {"validate", "--no-net", kFolder + "org.olvproject.Olv.metainfo.xml"});
        if (code < 0) QSKIP("appstreamcli is not installed");
        QVERIFY2(code == 0, qPrintable(said));
    }
};

QTEST_GUILESS_MAIN(PackagingTest)
#include "test_packaging.moc"
