#include "editor/form_layout.h"

#include <cmath>

namespace
{

// A size the window system would refuse: the old value stays.
void setSize(float &size, float value)
{
    if (std::isfinite(value) && value >= 0)
        size = value;
}

void setPosition(float &position, float value)
{
    if (std::isfinite(value))
        position = value;
}

} // namespace

FormLayout form_resize(FormLayout layout, float windowWidth, float windowHeight)
{
    FormLayout &l = layout;
    setPosition(l.frame1Top, windowHeight - (2 * l.statusBarHeight + (l.frame1Height + 500)));
    setSize(l.weapFrameHeight, l.frame1Top - l.weapFrameTop);
    setSize(l.weapFrameWidth, windowWidth - 4 * l.weapFrameLeft);
    setSize(l.tvWidth, l.weapFrameWidth - 2 * l.tvLeft);
    setSize(l.tvHeight, l.weapFrameHeight - 2 * l.tvTop);
    setSize(l.frame1Width, l.weapFrameWidth);
    setSize(l.text2Width, l.tvWidth);
    setSize(l.frame2Width, l.frame1Width);
    return layout;
}

FormLayout form_resize_client(FormLayout layout, float clientWidth, float clientHeight)
{
    return form_resize(layout, clientWidth + kAssumedFrameWidth,
                       clientHeight + kAssumedFrameHeight);
}
