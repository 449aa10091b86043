// The main window's stored description: fixed border, no maximise, controls in creation
// order. The two version labels stay hidden.
#include "forms/Main.h"
#include "forms/program_icon.h"
#include "forms/window_style.h"

const FormDescription kMainformDescription = {
    .name = "Mainform",
    .caption = "Mainform",
    .left = 198, .top = 132, .clientWidth = 203, .clientHeight = 243,
    .borderIcons = {.systemMenu = true, .minimize = true, .maximize = false},
    .borderWidth = 0,
    .color = clWhite,
    .font = kWindowFont,
    .position = FormPosition::Designed,
    .icon = &kProgramIcon,
    .controls = {
        {.name = "Image_Product", .kind = ControlKind::Image,
         .left = 8, .top = 8, .width = 9, .height = 9},
        {.name = "Lbl_CurrentVersion", .kind = ControlKind::Label,
         .left = 55, .top = 24, .width = 92, .height = 13, .caption = "Lbl_CurrentVersion:",
         .visible = false},
        {.name = "Lbl_PreviousVersion", .kind = ControlKind::Label,
         .left = 55, .top = 8, .width = 99, .height = 13, .caption = "Lbl_PreviousVersion:",
         .visible = false},
        {.name = "Lbl_LangVer", .kind = ControlKind::Label,
         .left = 8, .top = 184, .width = 60, .height = 13, .caption = "Lbl_LangVer",
         .autoSize = true},
        {.name = "SText_Preoperate", .kind = ControlKind::StaticText,
         .left = 24, .top = 40, .width = 153, .height = 137, .caption = "SText_Preoperate",
         .tabOrder = 0},
        {.name = "Btn_Flash", .kind = ControlKind::Button,
         .left = 80, .top = 192, .width = 89, .height = 25, .caption = "Btn_Flash",
         .tabOrder = 1},
    },
};
