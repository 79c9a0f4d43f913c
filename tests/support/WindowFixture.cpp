#include "WindowFixture.h"

#include <QLineEdit>
#include <QObject>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QTimer>
#include <QWidget>

namespace corvaline::testsupport {

void WindowTest::OpenWindow(int output) {
    ASSERT_NE(FSOUND_SetOutput(output), 0) << "the library was left running";
    m_dlg = std::make_unique<TestableWindow>();
    ASSERT_TRUE(m_dlg->Create());
    if (!m_keepTickTimer) {
        m_tickTimerStarted = m_dlg->KillTimer(kTickTimer) != FALSE;
    }
}

void WindowTest::CloseWindow() {
    m_capture.reset();
    if (m_dlg) {
        m_dlg->DestroyWindow();
        m_dlg.reset();
    }
}

QWidget* WindowTest::Control(int controlId) const {
    QWidget* widget = m_dlg ? m_dlg->FindControl(controlId) : nullptr;
    EXPECT_NE(widget, nullptr) << "no control " << controlId;
    return widget;
}

QLineEdit* WindowTest::Edit(int controlId) const {
    auto* edit = qobject_cast<QLineEdit*>(Control(controlId));
    EXPECT_NE(edit, nullptr) << "control " << controlId << " is no edit";
    return edit;
}

QSlider* WindowTest::Slider(int controlId) const {
    auto* slider = qobject_cast<QSlider*>(Control(controlId));
    EXPECT_NE(slider, nullptr) << "control " << controlId << " is no slider";
    return slider;
}

void WindowTest::Click(int controlId) {
    if (QWidget* widget = Control(controlId)) {
        QTest::mouseClick(widget, Qt::LeftButton);
    }
}

void WindowTest::SetText(int controlId, const std::string& text) {
    if (QLineEdit* edit = Edit(controlId)) {
        edit->setText(QString::fromStdString(text));
    }
}

std::string WindowTest::Text(int controlId) const {
    std::string text;
    m_dlg->GetDlgItemText(controlId, text);
    return text;
}

bool WindowTest::Checked(int controlId) const {
    return m_dlg->IsDlgButtonChecked(controlId) == BST_CHECKED;
}

bool WindowTest::Enabled(int controlId) const {
    const QWidget* widget = Control(controlId);
    return widget && widget->isEnabled();
}

bool WindowTest::Visible(int controlId) const {
    const QWidget* widget = Control(controlId);
    return widget && widget->isVisible();
}

QPoint WindowTest::SliderThumb(int controlId) const {
    const QSlider* slider = Slider(controlId);
    if (!slider) {
        return {};
    }
    // What QSlider::initStyleOption fills in, which is not public.
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.subControls = QStyle::SC_None;
    option.activeSubControls = QStyle::SC_None;
    option.orientation = slider->orientation();
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.tickPosition = slider->tickPosition();
    option.tickInterval = slider->tickInterval();
    option.upsideDown = slider->orientation() == Qt::Horizontal
                            ? slider->invertedAppearance() != (option.direction == Qt::RightToLeft)
                            : !slider->invertedAppearance();
    option.direction = Qt::LeftToRight;
    option.sliderPosition = slider->sliderPosition();
    option.sliderValue = slider->value();
    option.singleStep = slider->singleStep();
    option.pageStep = slider->pageStep();
    if (slider->orientation() == Qt::Horizontal) {
        option.state |= QStyle::State_Horizontal;
    }
    return slider->style()
        ->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider)
        .center();
}

void WindowTest::DragSlider(int controlId, QPoint to) {
    QSlider* slider = Slider(controlId);
    if (!slider) {
        return;
    }
    const QPoint from = SliderThumb(controlId);
    QTest::mousePress(slider, Qt::LeftButton, {}, from);
    if (to != from) {
        QTest::mouseMove(slider, to);
    }
    QTest::mouseRelease(slider, Qt::LeftButton, {}, to);
}

void WindowTest::Tick(int count) {
    for (int i = 0; i < count; ++i) {
        m_dlg->SendMessage(WM_TIMER, kTickTimer);
    }
}

long WindowTest::Mix(long blocks) {
    long frames = 0;
    for (long i = 0; i < blocks; ++i) {
        frames += FSOUND_Update();
    }
    return frames;
}

OutputCapture& WindowTest::Out(long capacityFrames) {
    if (!m_capture) {
        m_capture = std::make_unique<OutputCapture>(capacityFrames);
    }
    return *m_capture;
}

void WindowTest::MixSettled(long blocks) {
    OutputCapture& out = Out();
    Mix(1);
    out.Clear();
    Mix(blocks);
}

std::string WindowTest::WriteWav(const std::string& name, long frames, const Generator& gen,
                                 int channels) {
    const std::string path = m_dir.File(name);
    EXPECT_TRUE(WriteWav16(path, 44100, channels, frames, gen)) << path;
    return path;
}

int WindowTest::StreamsOpen() {
    FSOUND_STATS stats{};
    FSOUND_GetStats(&stats);
    return stats.streamsOpen;
}

INT_PTR RunWindowModally(const std::function<void(TestableWindow&)>& script) {
    if (FSOUND_SetOutput(FSOUND_OUTPUT_MANUAL) == 0) {
        ADD_FAILURE() << "the library was left running";
    }
    TestableWindow dlg;
    // Cancels the script if the modal run never starts.
    QObject guard;
    QTimer::singleShot(0, &guard, [&dlg, &script] {
        script(dlg);
        // A window that ended is hidden by the end of its run.
        if (dlg.GetSafeHwnd() && dlg.GetSafeHwnd()->isVisible()) {
            dlg.EndDialog(static_cast<int>(kStillOpen));
        }
    });
    return dlg.DoModal();
}

} // namespace corvaline::testsupport
