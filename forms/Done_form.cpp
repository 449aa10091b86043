// The completion window's stored description.
#include "forms/Done.h"
#include "forms/program_icon.h"
#include "forms/window_style.h"

const FormDescription kForm_DoneDescription = {
    .name = "Form_Done",
    .caption = "Form_Done",
    .left = 289, .top = 357, .clientWidth = 207, .clientHeight = 216,
    .borderIcons = {.systemMenu = true, .minimize = true, .maximize = true},
    .borderWidth = 1,
    .color = clWhite,
    .font = kWindowFont,
    .position = FormPosition::MainFormCenter,
    .icon = &kProgramIcon,
    .controls = {
        {.name = "Lbl_Success", .kind = ControlKind::Label,
         .left = 16, .top = 8, .width = 61, .height = 13, .caption = "Lbl_Success",
         .autoSize = true},
        {.name = "SText_Postoperate", .kind = ControlKind::StaticText,
         .left = 27, .top = 33, .width = 153, .height = 137, .caption = "SText_Postoperate",
         .tabOrder = 0},
        {.name = "Btn_Done", .kind = ControlKind::Button,
         .left = 59, .top = 177, .width = 89, .height = 25, .caption = "Btn_Done",
         .tabOrder = 1},
    },
};
