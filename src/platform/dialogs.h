// The common open and save dialogs.
#pragma once

#include <memory>
#include <string>

#include "platform/classes.h"

class IDialogDriver;

class TOpenDialog : public TComponent {
public:
    explicit TOpenDialog(TComponent* owner, bool save = false);
    ~TOpenDialog() override;

    std::string Title;
    // Pairs of description and masks: "Text files|*.TXT|All Files|*.*".
    std::string Filter;
    std::string DefaultExt;
    std::string FileName;
    bool IsSave() const { return save_; }

    bool Execute();

private:
    bool save_;
    std::unique_ptr<IDialogDriver> driver_;
};

class TSaveDialog : public TOpenDialog {
public:
    explicit TSaveDialog(TComponent* owner) : TOpenDialog(owner, true) {}
};
