#pragma once
// A document whose contents are plain bytes, and presenters that record instead of blocking.
#include "platform/document/AlertPresenter.h"
#include "platform/document/Document.h"
#include "platform/document/PanelPresenter.h"

#include <QStringList>
#include <memory>

namespace documenttest {

// Reads any bytes not holding "BAD"; writes its contents unless failWrite is set.
class BytesDocument : public platform::Document {
public:
    QByteArray contents;
    bool failWrite = false;
    QString draftName = QStringLiteral("Draft");

    QString defaultDraftName() const override { return draftName; }

    // One undoable change: the contents grow by a byte.
    void change()
    {
        setContents(contents + 'x');
        undoManager().endGroup();
    }

protected:
    std::optional<platform::DocumentError> readFromData(const QByteArray& data) override
    {
        if (data.contains("BAD"))
            return platform::DocumentError { "Invalid Version", 1000, {} };
        contents = data;
        return std::nullopt;
    }
    std::variant<QByteArray, platform::DocumentError> dataOfType() const override
    {
        if (failWrite)
            return platform::DocumentError { "Test", 7, "nothing to write" };
        return contents;
    }

private:
    // Registers its own inverse, so undo and redo both work.
    void setContents(const QByteArray& value)
    {
        undoManager().registerUndo(this, m_life, [this, old = contents] { setContents(old); });
        contents = value;
    }

    platform::UndoLifetime m_life;
};

class RecordingAlerts final : public platform::AlertPresenter {
public:
    QStringList messages;
    // The titles of the buttons to press in alerts with buttons, in turn; the cancel button
    // once none is left.
    QStringList buttonChoices;
    QStringList lastButtons;
    void runModal(platform::AlertStyle, const QString& message) override { messages << message; }
    int runModalWithButtons(platform::AlertStyle, const QString& message, const QString&,
        const QStringList& buttons) override
    {
        messages << message;
        lastButtons = buttons;
        const qsizetype chosen
            = buttonChoices.isEmpty() ? -1 : buttons.indexOf(buttonChoices.takeFirst());
        return kFirstButtonReturn + int(chosen >= 0 ? chosen : cancelButtonIndex(buttons));
    }
};

// Installs scripted panels and recording alerts for one test and puts the previous ones back.
struct ScriptedPresenters {
    std::shared_ptr<platform::ScriptedPanelPresenter> panels
        = std::make_shared<platform::ScriptedPanelPresenter>();
    std::shared_ptr<RecordingAlerts> alerts = std::make_shared<RecordingAlerts>();
    std::shared_ptr<platform::PanelPresenter> previousPanels
        = platform::PanelPresenter::install(panels);
    std::shared_ptr<platform::AlertPresenter> previousAlerts
        = platform::AlertPresenter::install(alerts);
    ~ScriptedPresenters()
    {
        platform::PanelPresenter::install(previousPanels);
        platform::AlertPresenter::install(previousAlerts);
    }
};

} // namespace documenttest
