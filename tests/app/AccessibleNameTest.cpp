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
    for (const QWidget* control : controls)
        EXPECT_FALSE(control->accessibleName().trimmed().isEmpty())
            << "control " << control->objectName().toStdString() << " ("
            << control->metaObject()->className() << ")";

    // A button is called by its text; an edit by what it holds, never by its value.
    EXPECT_EQ(Control(id::kPlay1)->accessibleName(), "Tocar");
    SetPath("/music/a.wav");
    Dlg().SetDlgItemText(id::kGain, "12");
    EXPECT_EQ(Control(id::kPath)->accessibleName(), "Caminho do ficheiro");
    EXPECT_EQ(Control(id::kGain)->accessibleName(), "Ganho em dB");

    // The two decks' controls can be told apart.
    EXPECT_NE(Control(id::kPan1)->accessibleName(), Control(id::kPan2)->accessibleName());
    EXPECT_NE(Control(id::kProgress1)->accessibleName(), Control(id::kProgress2)->accessibleName());

    // A name that came from the text follows it.
    Dlg().SetDlgItemText(id::kClear, "Limpar");
    EXPECT_EQ(Control(id::kClear)->accessibleName(), "Limpar");
}
