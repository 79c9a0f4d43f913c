#include "Controls.h"

#include "TemplateControls.h"

#include <QListWidget>
#include <QProgressBar>
#include <QSlider>

#include <algorithm>

namespace {

// The list with every line appended so far in place; null for a window that is no list box.
NotifyListBox* List(const CWnd& wnd) {
    auto* list = dynamic_cast<NotifyListBox*>(wnd.GetSafeHwnd());
    if (list)
        list->Flush();
    return list;
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
    auto* list = dynamic_cast<NotifyListBox*>(GetSafeHwnd());
    if (!list)
        return LB_ERR;
    const QString value = QString::fromStdString(text);
    if (!list->sorted) {
        list->Append(value);
        return list->count() + list->PendingCount() - 1;
    }
    // Windows sorts list boxes without regard to case.
    list->Flush();
    int index = 0;
    while (index < list->count() &&
           list->item(index)->text().compare(value, Qt::CaseInsensitive) <= 0)
        ++index;
    list->insertItem(index, value);
    return index;
}

int CListBox::InsertString(int nIndex, const std::string& text) {
    QListWidget* list = List(*this);
    if (!list || nIndex > list->count())
        return LB_ERR;
    const int index = nIndex < 0 ? list->count() : nIndex;
    list->insertItem(index, QString::fromStdString(text));
    return index;
}

int CListBox::DeleteString(UINT nIndex) {
    QListWidget* list = List(*this);
    if (!list || nIndex >= static_cast<UINT>(list->count()))
        return LB_ERR;
    delete list->takeItem(static_cast<int>(nIndex));
    return list->count();
}

int CListBox::GetText(int nIndex, std::string& text) const {
    QListWidget* list = List(*this);
    if (!list || nIndex < 0 || nIndex >= list->count())
        return LB_ERR;
    text = list->item(nIndex)->text().toStdString();
    return static_cast<int>(text.size());
}

int CListBox::GetTextLen(int nIndex) const {
    std::string text;
    return GetText(nIndex, text);
}

int CListBox::GetCount() const {
    auto* list = dynamic_cast<NotifyListBox*>(GetSafeHwnd());
    return list ? list->count() + list->PendingCount() : LB_ERR;
}

int CListBox::SetCurSel(int nSelect) {
    QListWidget* list = List(*this);
    if (!list)
        return LB_ERR;
    if (nSelect < 0 || nSelect >= list->count()) {
        list->setCurrentRow(-1);
        list->clearSelection();
        return LB_ERR;
    }
    list->setCurrentRow(nSelect);
    return nSelect;
}

int CListBox::GetCurSel() const {
    QListWidget* list = List(*this);
    if (!list)
        return LB_ERR;
    const auto selected = list->selectedItems();
    return selected.isEmpty() ? LB_ERR : list->row(selected.front());
}

void CListBox::ResetContent() {
    if (auto* list = dynamic_cast<NotifyListBox*>(GetSafeHwnd())) {
        list->DropPending();
        list->clear();
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

void CSliderCtrl::GetRange(int& nMin, int& nMax) const {
    nMin = GetRangeMin();
    nMax = GetRangeMax();
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
    if (QSlider* slider = Slider(*this))
        slider->setValue(nPos);
}

int CSliderCtrl::GetPos() const {
    const QSlider* slider = Slider(*this);
    return slider ? slider->value() : 0;
}

int CSliderCtrl::SetPageSize(int nSize) {
    QSlider* slider = Slider(*this);
    if (!slider)
        return 0;
    const int previous = slider->pageStep();
    slider->setPageStep(nSize);
    return previous;
}

int CSliderCtrl::SetLineSize(int nSize) {
    QSlider* slider = Slider(*this);
    if (!slider)
        return 0;
    const int previous = slider->singleStep();
    slider->setSingleStep(nSize);
    return previous;
}

// --- CProgressCtrl ---

void CProgressCtrl::SetRange(short nLower, short nUpper) {
    SetRange32(nLower, nUpper);
}

void CProgressCtrl::SetRange32(int nLower, int nUpper) {
    if (QProgressBar* bar = Bar(*this)) {
        const int pos = bar->value();
        bar->setRange(nLower, nUpper);
        bar->setValue(std::clamp(pos, std::min(nLower, nUpper), std::max(nLower, nUpper)));
    }
}

void CProgressCtrl::GetRange(int& nLower, int& nUpper) const {
    const QProgressBar* bar = Bar(*this);
    nLower = bar ? bar->minimum() : 0;
    nUpper = bar ? bar->maximum() : 0;
}

int CProgressCtrl::SetPos(int nPos) {
    QProgressBar* bar = Bar(*this);
    if (!bar)
        return 0;
    const int previous = bar->value();
    // Qt ignores a value out of range where Windows clamps it.
    bar->setValue(std::clamp(nPos, bar->minimum(), std::max(bar->minimum(), bar->maximum())));
    return previous;
}

int CProgressCtrl::GetPos() const {
    const QProgressBar* bar = Bar(*this);
    return bar ? bar->value() : 0;
}

int CProgressCtrl::OffsetPos(int nPos) {
    return SetPos(GetPos() + nPos);
}
