#pragma once
// A whole program on a temporary application folder, for window tests:
// the data module, the main window and the four dialogs, with sounds
// recorded, error reports collected and messages answered by the test.
#include "TestData.h"

#include "platform/AppPath.h"
#include "app/Dialogs.h"
#include "app/Hlavni.h"
#include "assistant/oaAssist.h"
#include "data/Data.h"
#include "platform/ErrorReport.h"
#include "platform/Sound.h"

#include <QApplication>
#include <QDir>

#include <deque>
#include <memory>

namespace vedomec::testdata {

class AppFixture {
public:
    // `prepare` fills the folder before the program's objects are made.
    explicit AppFixture(const std::function<void(AppFolder&)>& prepare = {})
    {
        if (prepare)
            prepare(folder);
        m_oldCurrent = QDir::currentPath();
        TAppPath::setOverride(folder.path());
        setSoundPlayer(&sound);
        setErrorReportHook([this](const QString& text) { errors << text; });
        TAssistant::setTestResponder([this](const BalloonMessage& m) {
            messages.push_back(m);
            if (!answers.empty()) {
                const int r = answers.front();
                answers.pop_front();
                return r;
            }
            if (m.buttons & mbOK)
                return int(mrOk);
            return int(mrNo);
        });
        dm = new data::TDataModule1(folder.path());
        guarded([this] { dm->DataModule1Create(); });
        main = new THlavniDialog(dm);
        open = new TOtevritDialog(main, dm);
        import = new TImportDialog(main, dm);
        ident = new TIdentifikaceDialog(main, dm);
        results = new TVysledekDialog(main, dm);
    }

    ~AppFixture()
    {
        delete results;
        delete ident;
        delete import;
        delete open;
        delete main;
        delete dm;
        TAssistant::setTestResponder({});
        setErrorReportHook({});
        setSoundPlayer(nullptr);
        TAppPath::setOverride(QString());
        QDir::setCurrent(m_oldCurrent);
    }

    // Shows the main window as the program does at start.
    void showMain()
    {
        main->show();
        QApplication::processEvents();
    }

    // The next messages are answered with these results, in order.
    void answer(std::initializer_list<int> results_) { answers.insert(answers.end(), results_); }
    QStringList messageTexts() const
    {
        QStringList out;
        for (const auto& m : messages)
            out << m.text;
        return out;
    }
    // Sound files played, by file name only.
    QStringList cues() const
    {
        QStringList out;
        for (const QString& p : sound.played)
            out << QFileInfo(p).fileName();
        return out;
    }

    AppFolder folder;
    RecordingSoundPlayer sound;
    QStringList errors;
    std::vector<BalloonMessage> messages;
    std::deque<int> answers;

    data::TDataModule1* dm = nullptr;
    THlavniDialog* main = nullptr;
    TOtevritDialog* open = nullptr;
    TImportDialog* import = nullptr;
    TIdentifikaceDialog* ident = nullptr;
    TVysledekDialog* results = nullptr;

private:
    QString m_oldCurrent;
};

} // namespace vedomec::testdata
