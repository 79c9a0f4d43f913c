// What a screen reader says for each control of the main window.
#include "DialogTemplate.h"
#include "DialogWindow.h"
#include "Resources.h"
#include "WindowFixture.h"

#include <QWidget>

using namespace corvaline::testsupport;

TEST_F(WindowTest, EveryControlHasAnAccessibleName) {
    const auto& controls = Dlg().GetDialogWindow()->ControlsInOrder();
    ASSERT_EQ(controls.size(), MainDialogTemplate().controls.size());
    for (const QWidget* control : controls) {
        EXPECT_FALSE(control->accessibleName().trimmed().isEmpty())
            << "control " << control->objectName().toStdString() << " ("
            << control->metaObject()->className() << ")";
    }

    // A button is called by its text; an edit by what it holds, never by its value.
    EXPECT_EQ(Control(IDC_TOCAR_1)->accessibleName(), "Tocar");
    SetPath("/music/a.wav");
    Dlg().SetDlgItemText(IDC_GAIN, "12");
    EXPECT_EQ(Control(IDC_PATH)->accessibleName(), "Caminho do ficheiro");
    EXPECT_EQ(Control(IDC_GAIN)->accessibleName(), "Ganho em dB");

    // The two decks' controls can be told apart.
    EXPECT_NE(Control(IDC_PAN_1)->accessibleName(), Control(IDC_PAN_2)->accessibleName());
    EXPECT_NE(Control(IDC_PROGRESS_1)->accessibleName(), Control(IDC_PROGRESS_2)->accessibleName());

    // A name that came from the text follows it.
    Dlg().SetDlgItemText(IDC_CLEAR, "Limpar");
    EXPECT_EQ(Control(IDC_CLEAR)->accessibleName(), "Limpar");
}
