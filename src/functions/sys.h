// The system meter: a small borderless panel that any click dismisses.
#pragma once

#include "platform/controls.h"
#include "platform/forms.h"

class TfrmSystem : public TForm {
public:
    explicit TfrmSystem(TComponent* owner);

    TBevel Bevel1{this};
    TLabel Label1{this}, Label2{this}, Label3{this};
    TLabel lbUser{this}, lbGDI{this}, lbTotal{this};
    TBitBtn spdCheck{this};

    void FormCreate(TObject* sender);
    void Killit(TObject* sender);
};
