// Helpers of the window tests: real files in a private temporary folder, widgets found by
// name with a loud failure.
#pragma once

#include <QFile>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

namespace tidelin::test {

template <typename T>
T* Find(QWidget* parent, const char* name) {
    T* child = parent->findChild<T*>(QString::fromLatin1(name));
    if (child == nullptr) {
        qFatal("no widget named %s", name);
    }
    return child;
}

inline void Write(const QString& path, const QByteArray& content) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

inline QByteArray Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Every test runs with TMPDIR in a folder of its own; the TMPDIR it found is back afterwards,
// so that the next test's folder is made where the first one was.
class PrivateTemp {
public:
    PrivateTemp() {
        QDir(dir.path()).mkdir(QStringLiteral("tmp"));
        qputenv("TMPDIR", QFile::encodeName(Temp()));
    }
    ~PrivateTemp() {
        if (hadTmpdir) {
            qputenv("TMPDIR", savedTmpdir);
        } else {
            qunsetenv("TMPDIR");
        }
    }
    PrivateTemp(const PrivateTemp&) = delete;
    PrivateTemp& operator=(const PrivateTemp&) = delete;
    QString Path(const QString& name) const { return dir.path() + QLatin1Char('/') + name; }
    QString Temp() const { return dir.path() + QStringLiteral("/tmp"); }

private:
    const bool hadTmpdir = qEnvironmentVariableIsSet("TMPDIR");
    const QByteArray savedTmpdir = qgetenv("TMPDIR");
    QTemporaryDir dir;  // made in the TMPDIR found, before it is replaced
};

}  // namespace tidelin::test
