#include "DataExchange.h"

#include "Dialog.h"
#include "DialogWindow.h"

#include <QAbstractButton>

#include <charconv>
#include <cmath>
#include <string_view>

namespace {

constexpr const char* kEnterPositiveInteger = "Please enter a positive integer.";
constexpr const char* kEnterNumber = "Please enter a number.";
constexpr const char* kIntegerRange = "Please enter an integer between %1 and %2.";

std::string_view TrimBlanks(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// Digits only, after an optional plus sign, blanks and tabs around.
bool ParseUnsigned(std::string_view text, UINT& value) {
    text = TrimBlanks(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    if (text.empty() || text.front() == '+' || text.front() == '-') {
        return false;
    }
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

// A decimal number, optionally signed, with or without fraction and exponent.
bool ParseDouble(std::string_view text, double& value) {
    text = TrimBlanks(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    if (text.empty() || text.front() == '+') {
        return false;
    }
    const auto [end, ec] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    return ec == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

std::string FormatDouble(double value) {
    char buffer[64];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    return ec == std::errc() ? std::string(buffer, end) : std::string();
}

std::string FormatUnsigned(UINT value) {
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return ec == std::errc() ? std::string(buffer, end) : std::string();
}

std::string Substitute(std::string text, const std::string& first, const std::string& second) {
    if (const auto at = text.find("%1"); at != std::string::npos) {
        text.replace(at, 2, first);
    }
    if (const auto at = text.find("%2"); at != std::string::npos) {
        text.replace(at, 2, second);
    }
    return text;
}

QWidget* Control(const CDataExchange* pDX, int nIDC) {
    return pDX->m_pDlgWnd ? pDX->m_pDlgWnd->FindControl(nIDC) : nullptr;
}

std::string ReadText(CDataExchange* pDX, int nIDC) {
    std::string text;
    pDX->m_pDlgWnd->GetDlgItemText(nIDC, text);
    return text;
}

void ReportFailure(CDataExchange* pDX, const std::string& message) {
    pDX->m_pDlgWnd->MessageBox(message, {}, MB_ICONEXCLAMATION);
    pDX->Fail();
}

} // namespace

CDataExchange::CDataExchange(CDialog* pDlgWnd, BOOL bSaveAndValidate)
    : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

void CDataExchange::PrepareCtrl(int nIDC) {
    m_idLastControl = nIDC;
    m_bEditLastControl = FALSE;
}

void CDataExchange::PrepareEditCtrl(int nIDC) {
    m_idLastControl = nIDC;
    m_bEditLastControl = TRUE;
}

void CDataExchange::Fail() {
    m_bFailed = true;
    QWidget* control = Control(this, m_idLastControl);
    if (control && m_pDlgWnd->GetDialogWindow()) {
        m_pDlgWnd->GetDialogWindow()->FocusFailedControl(control, m_bEditLastControl != FALSE);
    }
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
    if (pDX->Failed()) {
        return;
    }
    pDX->PrepareCtrl(nIDC);
    rControl.AttachToDialog(pDX->m_pDlgWnd, nIDC);
}

void DDX_Text(CDataExchange* pDX, int nIDC, std::string& value) {
    if (pDX->Failed()) {
        return;
    }
    pDX->PrepareEditCtrl(nIDC);
    if (pDX->LeavesLastControl()) {
        return;
    }
    if (pDX->m_bSaveAndValidate) {
        value = ReadText(pDX, nIDC);
    } else {
        pDX->m_pDlgWnd->SetDlgItemText(nIDC, value);
    }
}

namespace {

// A number in an edit: shown formatted, read back through its parser, and a text the parser
// refuses reported with the message for that kind of number, the value left as it was.
template <typename Number, typename Format, typename Parse>
void ExchangeNumber(CDataExchange* pDX, int nIDC, Number& value, Format format, Parse parse,
                    const char* refused) {
    if (pDX->Failed()) {
        return;
    }
    pDX->PrepareEditCtrl(nIDC);
    if (pDX->LeavesLastControl()) {
        return;
    }
    if (!pDX->m_bSaveAndValidate) {
        pDX->m_pDlgWnd->SetDlgItemText(nIDC, format(value));
        return;
    }
    Number parsed{};
    if (parse(ReadText(pDX, nIDC), parsed)) {
        value = parsed;
    } else {
        ReportFailure(pDX, refused);
    }
}

} // namespace

void DDX_Text(CDataExchange* pDX, int nIDC, UINT& value) {
    ExchangeNumber(pDX, nIDC, value, FormatUnsigned, ParseUnsigned, kEnterPositiveInteger);
}

void DDX_Text(CDataExchange* pDX, int nIDC, double& value) {
    ExchangeNumber(pDX, nIDC, value, FormatDouble, ParseDouble, kEnterNumber);
}

void DDX_Check(CDataExchange* pDX, int nIDC, int& value) {
    if (pDX->Failed()) {
        return;
    }
    pDX->PrepareCtrl(nIDC);
    auto* box = qobject_cast<QAbstractButton*>(Control(pDX, nIDC));
    if (!box) {
        return;
    }
    if (pDX->m_bSaveAndValidate) {
        value = box->isChecked() ? 1 : 0;
    } else {
        box->setChecked(value != 0);
    }
}

void DDV_MinMaxUInt(CDataExchange* pDX, UINT value, UINT minVal, UINT maxVal) {
    if (pDX->Failed() || !pDX->m_bSaveAndValidate || pDX->LeavesLastControl() ||
        (value >= minVal && value <= maxVal)) {
        return;
    }
    ReportFailure(pDX, Substitute(kIntegerRange, FormatUnsigned(minVal), FormatUnsigned(maxVal)));
}
