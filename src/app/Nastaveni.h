#pragma once
// The settings a user chooses for himself: the assistant's character on the
// desktop (none, or one of the installed ones, by the name it gives itself)
// and whether the program plays its sounds.  "Ok" puts the choice to work
// at once and stores what changed in the user's configuration file.
#include "config/Characters.h"
#include "controls/ToolDialog.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QPushButton;

namespace vedomec {

class THelpBook;
class THlavniDialog;
namespace controls {
class TCaptionButton;
class TGradPan;
} // namespace controls

class TNastaveniDialog : public controls::TToolDialog {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 336;
    static constexpr int kClientHeight = 170;

    explicit TNastaveniDialog(THlavniDialog* main);
    ~TNastaveniDialog() override;

    QLabel* Label1 = nullptr;       // "Pomocník na ploše :"
    QComboBox* ComboBox1 = nullptr; // the characters, "žádný" first
    QLabel* Label2 = nullptr;       // where a user adds characters of his own
    QCheckBox* CheckBox1 = nullptr; // the sounds
    QFrame* Bevel1 = nullptr;
    QPushButton* Button1 = nullptr; // "Ok", the default button
    QPushButton* Button2 = nullptr; // "Zpět"
    controls::TCaptionButton* CaptionButton2 = nullptr;
    THelpBook* HelpBook1 = nullptr;
    controls::TGradPan* GradPan1 = nullptr;

    // The characters the list offers, in its order after "žádný".
    const QList<TCharacterEntry>& Characters() const { return m_entries; }

public slots:
    void Button1Click();
    void Button2Click();
    void CaptionButton2Click();

protected:
    void FormShow() override;

private:
    void fillCharacters();
    void accept();
    void setUpAccessibility();

    THlavniDialog* m_main;
    QList<TCharacterEntry> m_entries;
    // What the dialog showed when it opened, to store only what changed.
    int m_shownIndex = 0;
    bool m_shownSound = true;
};

extern TNastaveniDialog* NastaveniDialog;

} // namespace vedomec
