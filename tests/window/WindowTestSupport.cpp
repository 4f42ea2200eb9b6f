#include "tests/window/WindowTestSupport.h"

#include "app/window/PreviewWindow.h"
#include "tests/support/RunCommand.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include <filesystem>
#include <fstream>

#include <cstdlib>

bool TFakeServices::Question(QWidget*, const QString& caption, const QString& text) {
    Boxes.push_back({"question", caption, text});
    return Answer;
}

void TFakeServices::Warning(QWidget*, const QString& caption, const QString& text) {
    Boxes.push_back({"warning", caption, text});
}

void TFakeServices::Exclamation(QWidget*, const QString& caption, const QString& text) {
    Boxes.push_back({"exclamation", caption, text});
}

void TFakeServices::Information(QWidget*, const QString& caption, const QString& text) {
    Boxes.push_back({"information", caption, text});
}

QStringList TFakeServices::OpenFiles(QWidget*, const QString& filter) {
    Filters << filter;
    if (Files.empty())
        return {};
    QStringList answer = Files.front();
    Files.erase(Files.begin());
    return answer;
}

QString TFakeServices::OpenFile(QWidget*, const QString& filter) {
    Filters << filter;
    return AudioFile;
}

bool TFakeServices::OpenUrl(const QString& address) {
    OpenedUrls << address;
    return OpenUrlAnswer;
}

TWindowServices::ESaveAnswer TFakeServices::SaveChanges(QWidget*, const QString& caption, const QString& text) {
    Boxes.push_back({"savechanges", caption, text});
    return SaveAnswer;
}

QString TFakeServices::OpenProjectFile(QWidget*, const QString& filter) {
    Filters << filter;
    return ProjectToOpen;
}

QString TFakeServices::SaveProjectFile(QWidget*, const QString& filter, const QString&) {
    Filters << filter;
    return ProjectToSave;
}

QString TFakeServices::ChooseFolder(QWidget*, const QString& caption, const QString&) {
    Boxes.push_back({"folder", caption, QString()});
    return FolderToChoose;
}

TPrivateHome::TPrivateHome(ESettings settings) {
    oldHome_ = std::getenv("HOME") ? std::getenv("HOME") : "";
    if (const char* config = std::getenv("XDG_CONFIG_HOME")) {
        hadConfig_ = true;
        oldConfig_ = config;
    }
    setenv("HOME", Home().c_str(), 1);
    setenv("XDG_CONFIG_HOME", (Home() + "/.config").c_str(), 1);
    if (settings == EmptySettingsFile) {
        std::filesystem::create_directories(Home() + "/.config");
        std::ofstream(IniFileName()).flush();
    }
}

TPrivateHome::~TPrivateHome() {
    setenv("HOME", oldHome_.c_str(), 1);
    if (hadConfig_)
        setenv("XDG_CONFIG_HOME", oldConfig_.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QTest::qWait(5);
    }
    return true;
}

TPreviewWindow* VisiblePreview() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* preview = qobject_cast<TPreviewWindow*>(w); preview && preview->isVisible())
            return preview;
    return nullptr;
}

std::string Probe(const std::string& file, const std::string& entries, const std::string& select) {
    return RunShell("ffprobe -v error " + select + " -show_entries " + entries + " -of csv=p=0 '" + file + "'").Output;
}
