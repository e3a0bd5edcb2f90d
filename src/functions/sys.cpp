#include "functions/sys.h"

#include "core/start.h"

namespace {
void place(TLabel& label, int left, int top, int width, int height, const char* text, TAlignment alignment) {
    label.SetBounds(left, top, width, height);
    label.SetCaption(text);
    label.Alignment = alignment;
}

std::string percent(int value, const char* unknown) { return value < 0 ? unknown : std::to_string(value) + "%"; }
}  // namespace

TfrmSystem::TfrmSystem(TComponent* owner) : TForm(owner, "TfrmSystem") {
    Name = "frmSystem";
    BorderStyle = TBorderStyle::None;
    BorderIcons = false;
    SetBounds(60, 63, 114, 88);
    FontName = "System";
    FontHeight = 13;
    OnCreate = [this](TObject* s) { FormCreate(s); };
    auto kill = [this](TObject* s) { Killit(s); };
    OnClick = kill;
    OnDeactivate = kill;

    Bevel1.SetBounds(0, 0, 114, 88);
    place(Label1, 6, 8, 57, 16, "USER:", TAlignment::Right);
    place(Label2, 6, 24, 57, 16, "GDI:", TAlignment::Right);
    place(Label3, 6, 40, 57, 25, "TOTAL:", TAlignment::Right);
    place(lbUser, 67, 8, 41, 16, "User", TAlignment::Left);
    place(lbGDI, 67, 24, 41, 16, "gdi", TAlignment::Left);
    place(lbTotal, 67, 40, 41, 25, "Total", TAlignment::Left);
    for (TLabel* l : {&Label1, &Label2, &Label3, &lbUser, &lbGDI, &lbTotal}) l->OnClick = kill;

    spdCheck.SetBounds(45, 58, 25, 25);
    spdCheck.Glyph = TGlyph::CheckMark;
    spdCheck.Default = true;
    spdCheck.TabStop = true;
    spdCheck.TabOrder = 0;
    spdCheck.ModalResult = mrOk;
}

void TfrmSystem::FormCreate(TObject*) {
    // Live figures in place of the placeholders, read once as the panel opens.
    auto figures = Application->OS().GetFreeResources();
    lbUser.SetCaption(percent(figures.user, "User"));
    lbGDI.SetCaption(percent(figures.gdi, "gdi"));
    lbTotal.SetCaption(percent(figures.memory, "Total"));
}

void TfrmSystem::Killit(TObject*) { SetModalResult(mrOk); }

void TTolvekForm::SystemMeter1Click(TObject*) {
    TfrmSystem meter(nullptr);
    meter.DoCreate();
    meter.ShowModal();
}
