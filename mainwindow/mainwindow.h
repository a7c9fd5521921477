#pragma once

#include "session.h"
#include "startup.h"
#include "styleitems.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

class QAction;
class QCheckBox;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QWidget;

namespace Ui {
class Form1;
}

// The main window, Form1. Its controls are views of the one Session it owns: every change the
// seller makes goes through the listing settings' own operations and the controls are then
// refreshed from the settings, so what the window shows is always what will be written.
//
// The form (mainwindow.ui) fixes the layout in pixels, drawn for an 8-point dialog font: the
// client area keeps the platform's family but not a larger size, which would cut captions such
// as "Auction ID" short. The logo spells the product's name on four staggered lines, a large
// initial and then the rest of the word. The code adds what a form cannot say: the style
// items from their table, the order menu, and the behaviour of every control.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // The start-up sequence: reads the data files in programFolder into the session and shows
    // them. On a file error nothing is shown, nothing is written, and closing the window
    // later saves nothing either.
    std::optional<FileError> load(const QString &programFolder);

    // The session, with every text as its box shows it.
    Session &session();

    // Whether saving at close reported an error (the seller has been told).
    bool saveFailed() const { return m_saveFailed; }

    // The desktop session is ending: the settings are saved now, and the window stays, since a
    // logout can still be cancelled; its later close saves again. A failure is shown in a
    // message box when the session manager lets the program ask, else written to standard
    // error, where a box nobody can answer would hold up the logout.
    void saveForSessionEnd(bool canAsk);

    QAction *coloursAction() const;

    // Shows the settings again after something outside the window changed them.
    void refreshFromSettings();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct TextBox
    {
        TextField field;
        QLineEdit *line = nullptr;
        QPlainTextEdit *multi = nullptr;
        bool typed = false; // the multi-line box changed since the settings took its text
    };
    struct Switch
    {
        SectionId section;
        QCheckBox *box;
    };

    void setUpControls();
    void buildStyleItems();
    QMenu *menuOfGroup(StyleGroup group) const;
    void connectControls();

    void openColourSelector();
    void preview();
    void createListing();
    bool writeListing();
    void textEdited(size_t index);
    void takeTypedTexts();
    void switchToggled(SectionId section, bool on);
    void moveUp();
    void moveDown();
    void styleItemTriggered(size_t index);
    void moveSelected(int (ListingSettings::*move)(int));

    int selectedRow() const;
    void refreshTexts();
    void refreshOrder(int selectRow);
    void refreshSwitches();
    void refreshMarks();
    void saveAtClose();
    // Saves every data file; returns whether all were written, after reporting the others.
    bool saveSettings(bool canAsk);

    std::unique_ptr<Ui::Form1> m_ui;
    Session m_session;
    bool m_loaded = false;
    bool m_saved = false;
    bool m_saveFailed = false;
    bool m_refreshing = false;

    std::vector<TextBox> m_textBoxes;
    std::vector<Switch> m_switches;
    std::vector<QAction *> m_styleActions; // in the order of styleItems()
    QMenu *m_orderMenu = nullptr;
    QPointer<QWidget> m_colourSelector;
};
