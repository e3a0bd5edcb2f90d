#include "platform/extctrls.h"

#include <algorithm>

void ArrangeAligned(TControl& parent, int clientWidth, int clientHeight) {
    int left = 0, top = 0, right = clientWidth, bottom = clientHeight;
    for (TAlign pass : {TAlign::Top, TAlign::Bottom, TAlign::Left, TAlign::Right, TAlign::Client}) {
        for (TControl* c : parent.Controls()) {
            if (c->Align != pass || !c->Visible()) continue;
            const int w = std::max(0, right - left), h = std::max(0, bottom - top);
            switch (pass) {
                case TAlign::Top:
                    c->SetBounds(left, top, w, c->Height());
                    top += c->Height();
                    break;
                case TAlign::Bottom:
                    bottom -= c->Height();
                    c->SetBounds(left, bottom, w, c->Height());
                    break;
                case TAlign::Left:
                    c->SetBounds(left, top, c->Width(), h);
                    left += c->Width();
                    break;
                case TAlign::Right:
                    right -= c->Width();
                    c->SetBounds(right, top, c->Width(), h);
                    break;
                case TAlign::Client:
                    c->SetBounds(left, top, w, h);
                    break;
                case TAlign::None:
                    break;
            }
        }
    }
}
