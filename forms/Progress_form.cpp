// The progress window's stored description. Without a system menu it has no title-bar
// buttons, so it cannot be closed by the user.
#include "forms/Progress.h"
#include "forms/program_icon.h"
#include "forms/window_style.h"

const FormDescription kForm_ProgressDescription = {
    .name = "Form_Progress",
    .caption = "Form_Progress",
    .left = 351, .top = 211, .clientWidth = 280, .clientHeight = 103,
    .borderIcons = {.systemMenu = false, .minimize = true, .maximize = false},
    .borderWidth = 1,
    .color = clWhite,
    .font = kWindowFont,
    .position = FormPosition::MainFormCenter,
    .icon = &kProgramIcon,
    .controls = {
        {.name = "Lbl_CurrentVersion2", .kind = ControlKind::Label,
         .left = 17, .top = 16, .width = 98, .height = 13, .caption = "Lbl_CurrentVersion2:"},
        {.name = "ProgressBar", .kind = ControlKind::ProgressBar,
         .left = 17, .top = 40, .width = 249, .height = 25, .tabOrder = 0,
         .min = 0, .max = 100, .step = 1, .smooth = true, .borderWidth = 1},
    },
};
