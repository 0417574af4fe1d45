#pragma once
// The editor's looks: eight built-in style sheets STYLE_0..STYLE_7, the
// "Look" menu offering 0..6, and the "style.txt" choice in the maker folder.
// Applying a look restyles every window of the application at once.

#include <QObject>
#include <QPointer>
#include <QString>

#include <array>

class QAction;
class QMenu;

namespace quorvane {

class Dialogs;

constexpr int look_count = 8;      // STYLE_0 .. STYLE_7
constexpr int look_menu_count = 7; // the menu offers 0 .. 6
constexpr int no_look = -1;        // the toolkit's own look

inline const QString look_file_name = QStringLiteral("style.txt");

// The resource path of the look called "Style_<n>", matched without regard
// to case; empty when the editor carries no such look.
QString look_resource_path(int n);
// The style sheet of look n; empty when there is none.
QString look_style_sheet(int n);

// What a "style.txt" content asks for: a whole number after trimming blanks
// and line ends, else look 0.
int look_number_from_text(const QString &content);

class Looks : public QObject {
    Q_OBJECT
public:
    explicit Looks(Dialogs &dialogs, QObject *parent = nullptr)
        : QObject(parent), m_dialogs(dialogs) {}

    // The maker folder that holds "style.txt".
    void setMakerFolder(const QString &folder) { m_maker_folder = folder; }
    QString lookFilePath() const;

    // Appends the items "0".."6" to the menu, each wired to the click handler.
    void build_look_menu(QMenu *menuLook);
    // Start-up: applies the stored look, or look 0 when none is stored.
    void load_look();
    // Applies the clicked item's look and stores the choice.
    void menuLookClickItem(QAction *sender);

    // Makes look n the style of every window; a look the editor does not
    // carry changes nothing. Returns whether it was applied.
    bool apply_look(int n);

    int current_look() const { return m_current; }

    // Slots 0..6 hold the menu items; slot 7 stays empty.
    std::array<QPointer<QAction>, look_count> look_items{};

signals:
    void lookApplied(int n);

private:
    Dialogs &m_dialogs;
    QString m_maker_folder;
    int m_current = no_look;
};

} // namespace quorvane
