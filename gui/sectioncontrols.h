#pragma once

// The section window's controls, made and placed as the window shows them; the window gives them
// their captions, states and actions.

#include <array>

class QLabel;
class QLineEdit;
class QListView;
class QMainWindow;
class QPlainTextEdit;
class QPushButton;
class QWidget;
class QuickPrefixListModel;

struct SectionControls {
    std::array<QLabel *, 3> captions{};
    QuickPrefixListModel *keywords = nullptr;
    QListView *keywordList = nullptr;
    QPushButton *openButton = nullptr;   // Open / Close the section
    QPushButton *addButton = nullptr;    // Add / Save a new entry
    QPushButton *removeButton = nullptr; // Remove the selected entry
    QPushButton *editButton = nullptr;   // Edit / Save the selected entry
    QPushButton *exitButton = nullptr;   // Exit: back to the main window
    QLineEdit *keywordEdit = nullptr;
    QPlainTextEdit *meaningEdit = nullptr;
    QPushButton *refreshButton = nullptr;

    // Makes them, and the labels, link and frame around them, on the window's client area.
    static SectionControls make(QMainWindow *window, QWidget *client);
};
