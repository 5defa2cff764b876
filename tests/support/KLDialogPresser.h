#pragma once

// The shared dialog queue's window as the tests see it: what it shows now, pressed by the test,
// and a fixture that draws the queue with it in English.

#include "presentation/KLDialogQueue.h"
#include "presentation/KLToastManager.h"
#include "runtime/KLLocalization.h"

#include "KLTestSupport.h"

#include <gtest/gtest.h>

#include <memory>

namespace kltest {

/// The dialog window of the shared queue, pressed by the tests.
class DialogPresser final : public KLDialogView {
public:
    void showDialog(const KLDialogPresentation &dialog) override { visible = true; current = dialog; ++shown; }
    void closeDialog() override { visible = false; }
    void press(KLDialogButton button)
    {
        ASSERT_TRUE(visible) << "no dialog to press";
        KLDialogQueue::shared().buttonPressed(current.dialogId, button);
    }
    /// Closes whatever is left, so one test's dialog never reaches the next.
    void drain()
    {
        pumpEvents(10);
        while (visible)
            KLDialogQueue::shared().buttonPressed(current.dialogId, current.third.visible    ? KLDialogButton::Third
                                                                    : current.second.visible ? KLDialogButton::Second
                                                                                             : KLDialogButton::First);
    }
    bool visible = false;
    int shown = 0;
    KLDialogPresentation current;
};

/// English texts, no toast window, and the shared dialog queue drawn by `dialogs`; a dialog a
/// test leaves open is closed before the next test.
class DialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        KLLocalization::setLanguage(KLLocalization::Language::English);
        KLToastManager::shared().setView(nullptr);
        KLDialogQueue::shared().setView(dialogs);
    }
    void TearDown() override
    {
        dialogs->drain();
        KLDialogQueue::shared().setView(nullptr);
    }

    std::shared_ptr<DialogPresser> dialogs = std::make_shared<DialogPresser>();
};

} // namespace kltest
