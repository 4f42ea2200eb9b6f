#pragma once
// What the widget tests share: a private home and settings folder, a desktop that answers
// message boxes and dialogs the way the test says, and reading the settings file.

#include "app/settings/IniFile.h"
#include "app/window/WindowServices.h"
#include "tests/support/TestJpeg.h"

#include <QStringList>

#include <functional>

#include <string>
#include <vector>

class TPreviewWindow;

// Serves the window's events until done() holds; false when timeoutMs passed first.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs);
// The preview window of a running job, when one shows.
TPreviewWindow* VisiblePreview();
// What ffprobe says of entries of a file (csv, no keys), select choosing the streams.
std::string Probe(const std::string& file, const std::string& entries, const std::string& select = "");

class TFakeServices : public TWindowServices {
public:
    struct TBox {
        QString Kind, Caption, Text;
    };
    std::vector<TBox> Boxes;
    bool Answer = false;            // the answer to questions
    std::vector<QStringList> Files; // one answer per OpenFiles call, taken from the front
    QString AudioFile;
    QStringList OpenedUrls;
    bool OpenUrlAnswer = true;      // false: the desktop has no program for it
    QStringList Filters;
    ESaveAnswer SaveAnswer = ESaveAnswer::Discard; // the answer to the unsaved-changes question
    QString ProjectToOpen, ProjectToSave, FolderToChoose;   // the dialogs' answers (empty: cancelled)

    bool Question(QWidget*, const QString& caption, const QString& text) override;
    void Warning(QWidget*, const QString& caption, const QString& text) override;
    void Exclamation(QWidget*, const QString& caption, const QString& text) override;
    void Information(QWidget*, const QString& caption, const QString& text) override;
    QStringList OpenFiles(QWidget*, const QString& filter) override;
    QString OpenFile(QWidget*, const QString& filter) override;
    bool OpenUrl(const QString& address) override;
    ESaveAnswer SaveChanges(QWidget*, const QString& caption, const QString& text) override;
    QString OpenProjectFile(QWidget*, const QString& filter) override;
    QString SaveProjectFile(QWidget*, const QString& filter, const QString& suggested) override;
    QString ChooseFolder(QWidget*, const QString& caption, const QString& start) override;
};

// HOME and XDG_CONFIG_HOME point into a fresh temporary folder for the life of the object. The
// settings file is there and empty, as on a machine where the program ran before but stored
// nothing yet (its keys read with their classic defaults); FreshMachine leaves it out, as on a
// machine that never ran the program.
class TPrivateHome {
public:
    enum ESettings { EmptySettingsFile, FreshMachine };
    explicit TPrivateHome(ESettings settings = EmptySettingsFile);
    ~TPrivateHome();
    std::string Home() const { return temp_.Path().string(); }
    std::string IniFileName() const { return Home() + "/.config/zemopixaroll.ini"; }
    TIniFile Ini() const { return TIniFile(IniFileName()); }
    std::string File(const std::string& name) const { return temp_.File(name); }

private:
    TTempDir temp_;
    std::string oldHome_, oldConfig_;
    bool hadConfig_ = false;
};
