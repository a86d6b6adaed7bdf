#pragma once
// The program's record of the profile being worked on: the text and list of the profile selection
// window's box, and whether its "Delete" button is usable. The setup dialog saves to the box text
// and activation reports it; the selection window mirrors this record and writes the user's typing
// back into it, so everything works the same with the window hidden or absent.
#include <QObject>
#include <QString>
#include <QStringList>

namespace tarvo {

class ProfileBox : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    const QString& text() const { return text_; }
    const QStringList& items() const { return items_; }
    bool deleteEnabled() const { return deleteEnabled_; }

    void setText(const QString& text);
    // The list as given; ListProfiles keeps it sorted.
    void setItems(const QStringList& items);
    void setDeleteEnabled(bool enabled);

    // Exact, case-sensitive match against the list.
    bool isListed(const QString& name) const { return items_.contains(name, Qt::CaseSensitive); }
    QString firstItem() const { return items_.isEmpty() ? QString() : items_.first(); }

signals:
    void changed();

private:
    QString text_;
    QStringList items_;
    bool deleteEnabled_ = true;
};

} // namespace tarvo
