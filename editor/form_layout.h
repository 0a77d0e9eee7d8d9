#pragma once

// The sizes the layout procedure reads and writes, in twips.
struct FormLayout {
    float statusBarHeight = 315;
    float frame1Top = 9660;
    float frame1Width = 7875;
    float frame1Height = 1155;
    float weapFrameLeft = 60;
    float weapFrameTop = 2400;
    float weapFrameWidth = 7875;
    float weapFrameHeight = 7155;
    float tvLeft = 120;
    float tvTop = 300;
    float tvWidth = 7635;
    float tvHeight = 4155;
    float text2Width = 7515;
    float frame2Width = 7815;

    friend bool operator==(const FormLayout &, const FormLayout &) = default;
};

// Fits the frames, the tree and the value box to a window of the given outer size. Each step
// reads what the steps before it set. A step whose width or height would come out negative, or
// not finite, sets nothing and the next step goes on with the old value; a negative top is
// applied as it comes.
FormLayout form_resize(FormLayout layout, float windowWidth, float windowHeight);

// The layout reckons with this allowance for the title bar, menu bar and borders rather than
// with the frame the window system draws: the frame is not known before the window is shown,
// and a layout that took it in later would shift every frame on the first resize.
inline constexpr float kAssumedFrameWidth = 120;
inline constexpr float kAssumedFrameHeight = 720;

// form_resize for a window whose client area (the status bar included) has the given size.
FormLayout form_resize_client(FormLayout layout, float clientWidth, float clientHeight);
