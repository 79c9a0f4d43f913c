#include "Controls.h"

#include "TemplateControls.h"

#include <QProgressBar>
#include <QSlider>

#include <algorithm>

namespace {

NotifyListBox* Box(const CWnd& wnd) {
    return dynamic_cast<NotifyListBox*>(wnd.GetSafeHwnd());
}
QSlider* Slider(const CWnd& wnd) {
    return qobject_cast<QSlider*>(wnd.GetSafeHwnd());
}
QProgressBar* Bar(const CWnd& wnd) {
    return qobject_cast<QProgressBar*>(wnd.GetSafeHwnd());
}

} // namespace

// --- CListBox ---

int CListBox::AddString(const std::string& text) {
    const std::string_view line = text;
    return AddStrings(std::span(&line, 1));
}

int CListBox::AddStrings(std::span<const std::string_view> texts) {
    NotifyListBox* box = Box(*this);
    if (!box || texts.empty()) {
        return LB_ERR;
    }
    ListLines& lines = box->Lines();
    lines.Append(texts);
    return lines.Count() - 1;
}

int CListBox::DeleteString(UINT nIndex) {
    NotifyListBox* box = Box(*this);
    if (!box || nIndex >= static_cast<UINT>(box->Lines().Count())) {
        return LB_ERR;
    }
    box->Lines().Remove(static_cast<int>(nIndex));
    return box->Lines().Count();
}

int CListBox::GetText(int nIndex, std::string& text) const {
    NotifyListBox* box = Box(*this);
    if (!box || nIndex < 0 || nIndex >= box->Lines().Count()) {
        return LB_ERR;
    }
    text = std::string(box->Lines().At(nIndex));
    return static_cast<int>(text.size());
}

int CListBox::GetCount() const {
    NotifyListBox* box = Box(*this);
    return box ? box->Lines().Count() : LB_ERR;
}

int CListBox::SetCurSel(int nSelect) {
    NotifyListBox* box = Box(*this);
    if (!box) {
        return LB_ERR;
    }
    // The view can only select a line it has heard of.
    box->Lines().Announce();
    if (nSelect < 0 || nSelect >= box->Lines().Count()) {
        box->setCurrentIndex(QModelIndex());
        box->clearSelection();
        return LB_ERR;
    }
    box->setCurrentIndex(box->Lines().index(nSelect));
    return nSelect;
}

int CListBox::GetCurSel() const {
    NotifyListBox* box = Box(*this);
    if (!box) {
        return LB_ERR;
    }
    const QModelIndexList selected = box->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? LB_ERR : selected.front().row();
}

void CListBox::ResetContent() {
    if (NotifyListBox* box = Box(*this)) {
        box->Lines().Clear();
    }
}

// --- CSliderCtrl ---

void CSliderCtrl::SetRange(int nMin, int nMax, BOOL) {
    if (QSlider* slider = Slider(*this)) {
        slider->setRange(nMin, nMax);
        // The Windows trackbar's default page is a fifth of the range.
        slider->setPageStep(std::max(1, (nMax - nMin) / 5));
    }
}

int CSliderCtrl::GetRangeMin() const {
    const QSlider* slider = Slider(*this);
    return slider ? slider->minimum() : 0;
}

int CSliderCtrl::GetRangeMax() const {
    const QSlider* slider = Slider(*this);
    return slider ? slider->maximum() : 0;
}

void CSliderCtrl::SetPos(int nPos) {
    if (QSlider* slider = Slider(*this)) {
        slider->setValue(nPos);
    }
}

int CSliderCtrl::GetPos() const {
    const QSlider* slider = Slider(*this);
    return slider ? slider->value() : 0;
}

// --- CProgressCtrl ---

void CProgressCtrl::SetRange(short nLower, short nUpper) {
    if (QProgressBar* bar = Bar(*this)) {
        const int pos = bar->value();
        bar->setRange(nLower, nUpper);
        bar->setValue(std::clamp<int>(pos, std::min(nLower, nUpper), std::max(nLower, nUpper)));
    }
}

int CProgressCtrl::SetPos(int nPos) {
    QProgressBar* bar = Bar(*this);
    if (!bar) {
        return 0;
    }
    const int previous = bar->value();
    // Qt ignores a value out of range where Windows clamps it.
    bar->setValue(std::clamp(nPos, bar->minimum(), std::max(bar->minimum(), bar->maximum())));
    return previous;
}

int CProgressCtrl::GetPos() const {
    const QProgressBar* bar = Bar(*this);
    return bar ? bar->value() : 0;
}
