// The wizard owns its container, unless a parent widget destroys the container first.
#include "DeskFixture.h"

#include <QPointer>

namespace qm::test {
namespace {

using UIWizard = DeskTest;

TEST_F(UIWizard, ContainerStartsWithoutParentFramedAndWithTheDefaultBackground) {
    TUIWizard wizard(pictures.Pngs());
    TUIContainer* container = wizard.Container();
    ASSERT_NE(container, nullptr);
    EXPECT_EQ(container->parentWidget(), nullptr);
    EXPECT_TRUE(container->ShowBorder());
    EXPECT_TRUE(container->ShowTitleBar());
    EXPECT_TRUE(container->ShowStatusBar());
    EXPECT_EQ(container->BackgroundFile(), "bg.png");
    EXPECT_TRUE(container->Widgets().empty());
    EXPECT_EQ(&container->Pngs(), &pictures.Pngs());
}

TEST_F(UIWizard, DestroyingTheWizardDestroysItsContainerAndWidgets) {
    QPointer<TUIContainer> container;
    {
        QWidget window;
        TUIWizard wizard(pictures.Pngs());
        container = wizard.Container();
        container->setParent(&window);
        container->resize(100, 80);
        AddIcon(*container, IconDoc(10, 40, "red_20x10.png", ""), false);
        window.show();
        ProcessEvents();
    }
    EXPECT_TRUE(container.isNull());
}

TEST_F(UIWizard, ParentDestroyedFirstTakesTheContainerAndTheWizardLetsGo) {
    TUIWizard wizard(pictures.Pngs());
    {
        QWidget window;
        wizard.Container()->setParent(&window);
        AddIcon(*wizard.Container(), IconDoc(10, 40, "red_20x10.png", ""), false);
    }
    EXPECT_EQ(wizard.Container(), nullptr);
}

} // namespace
} // namespace qm::test
