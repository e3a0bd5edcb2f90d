#include "platform/dialogs.h"

#include "platform/drivers.h"

TOpenDialog::TOpenDialog(TComponent* owner, bool save)
    : TComponent(owner), save_(save), driver_(newDialogDriver(this)) {}

TOpenDialog::~TOpenDialog() = default;

bool TOpenDialog::Execute() { return driver_->Execute(*this); }
