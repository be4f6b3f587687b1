#include "Kestrix/view/KittyFunctionalKey.h"

#include <array>
#include <cstddef>

namespace kestrix {
namespace {

using Key = KittyFunctionalKey;
using Form = KittyKeyForm;

struct Entry {
    Key key;
    KittyFunctionalKeyCode code;
};

// One row per key, in enumeration order.
constexpr std::array<Entry, kittyFunctionalKeyCount> functionalKeyTable{{
    {Key::escape, {Form::special, 27}},
    {Key::enter, {Form::special, 13}},
    {Key::tab, {Form::special, 9}},
    {Key::backspace, {Form::special, 127}},
    {Key::insert, {Form::tilde, 2}},
    {Key::delete_, {Form::tilde, 3}},
    {Key::up, {Form::letter, 'A'}},
    {Key::down, {Form::letter, 'B'}},
    {Key::left, {Form::letter, 'D'}},
    {Key::right, {Form::letter, 'C'}},
    {Key::home, {Form::letter, 'H'}},
    {Key::end, {Form::letter, 'F'}},
    {Key::pageUp, {Form::tilde, 5}},
    {Key::pageDown, {Form::tilde, 6}},
    {Key::f1, {Form::letter, 'P'}},
    {Key::f2, {Form::letter, 'Q'}},
    {Key::f3, {Form::tilde, 13}},
    {Key::f4, {Form::letter, 'S'}},
    {Key::f5, {Form::tilde, 15}},
    {Key::f6, {Form::tilde, 17}},
    {Key::f7, {Form::tilde, 18}},
    {Key::f8, {Form::tilde, 19}},
    {Key::f9, {Form::tilde, 20}},
    {Key::f10, {Form::tilde, 21}},
    {Key::f11, {Form::tilde, 23}},
    {Key::f12, {Form::tilde, 24}},
    {Key::f13, {Form::csiU, 57376}},
    {Key::f14, {Form::csiU, 57377}},
    {Key::f15, {Form::csiU, 57378}},
    {Key::f16, {Form::csiU, 57379}},
    {Key::f17, {Form::csiU, 57380}},
    {Key::f18, {Form::csiU, 57381}},
    {Key::f19, {Form::csiU, 57382}},
    {Key::f20, {Form::csiU, 57383}},
    {Key::f21, {Form::csiU, 57384}},
    {Key::f22, {Form::csiU, 57385}},
    {Key::f23, {Form::csiU, 57386}},
    {Key::f24, {Form::csiU, 57387}},
    {Key::f25, {Form::csiU, 57388}},
    {Key::f26, {Form::csiU, 57389}},
    {Key::f27, {Form::csiU, 57390}},
    {Key::f28, {Form::csiU, 57391}},
    {Key::f29, {Form::csiU, 57392}},
    {Key::f30, {Form::csiU, 57393}},
    {Key::f31, {Form::csiU, 57394}},
    {Key::f32, {Form::csiU, 57395}},
    {Key::f33, {Form::csiU, 57396}},
    {Key::f34, {Form::csiU, 57397}},
    {Key::f35, {Form::csiU, 57398}},
    {Key::menu, {Form::csiU, 57363}},
    {Key::capsLock, {Form::csiU, 57358}},
    {Key::scrollLock, {Form::csiU, 57359}},
    {Key::numLock, {Form::csiU, 57360}},
    {Key::printScreen, {Form::csiU, 57361}},
    {Key::pause, {Form::csiU, 57362}},
    {Key::keypad0, {Form::csiU, 57399}},
    {Key::keypad1, {Form::csiU, 57400}},
    {Key::keypad2, {Form::csiU, 57401}},
    {Key::keypad3, {Form::csiU, 57402}},
    {Key::keypad4, {Form::csiU, 57403}},
    {Key::keypad5, {Form::csiU, 57404}},
    {Key::keypad6, {Form::csiU, 57405}},
    {Key::keypad7, {Form::csiU, 57406}},
    {Key::keypad8, {Form::csiU, 57407}},
    {Key::keypad9, {Form::csiU, 57408}},
    {Key::keypadDecimal, {Form::csiU, 57409}},
    {Key::keypadDivide, {Form::csiU, 57410}},
    {Key::keypadMultiply, {Form::csiU, 57411}},
    {Key::keypadSubtract, {Form::csiU, 57412}},
    {Key::keypadAdd, {Form::csiU, 57413}},
    {Key::keypadEnter, {Form::csiU, 57414}},
    {Key::keypadEqual, {Form::csiU, 57415}},
    {Key::keypadSeparator, {Form::csiU, 57416}},
    {Key::keypadLeft, {Form::csiU, 57417}},
    {Key::keypadRight, {Form::csiU, 57418}},
    {Key::keypadUp, {Form::csiU, 57419}},
    {Key::keypadDown, {Form::csiU, 57420}},
    {Key::keypadPageUp, {Form::csiU, 57421}},
    {Key::keypadPageDown, {Form::csiU, 57422}},
    {Key::keypadHome, {Form::csiU, 57423}},
    {Key::keypadEnd, {Form::csiU, 57424}},
    {Key::keypadInsert, {Form::csiU, 57425}},
    {Key::keypadDelete, {Form::csiU, 57426}},
    {Key::keypadBegin, {Form::csiU, 57427}},
    {Key::mediaPlay, {Form::csiU, 57428}},
    {Key::mediaPause, {Form::csiU, 57429}},
    {Key::mediaPlayPause, {Form::csiU, 57430}},
    {Key::mediaReverse, {Form::csiU, 57431}},
    {Key::mediaStop, {Form::csiU, 57432}},
    {Key::mediaFastForward, {Form::csiU, 57433}},
    {Key::mediaRewind, {Form::csiU, 57434}},
    {Key::mediaTrackNext, {Form::csiU, 57435}},
    {Key::mediaTrackPrevious, {Form::csiU, 57436}},
    {Key::mediaRecord, {Form::csiU, 57437}},
    {Key::volumeDown, {Form::csiU, 57438}},
    {Key::volumeUp, {Form::csiU, 57439}},
    {Key::volumeMute, {Form::csiU, 57440}},
    {Key::leftShift, {Form::csiU, 57441}},
    {Key::leftControl, {Form::csiU, 57442}},
    {Key::leftAlt, {Form::csiU, 57443}},
    {Key::leftSuper, {Form::csiU, 57444}},
    {Key::leftHyper, {Form::csiU, 57445}},
    {Key::leftMeta, {Form::csiU, 57446}},
    {Key::rightShift, {Form::csiU, 57447}},
    {Key::rightControl, {Form::csiU, 57448}},
    {Key::rightAlt, {Form::csiU, 57449}},
    {Key::rightSuper, {Form::csiU, 57450}},
    {Key::rightHyper, {Form::csiU, 57451}},
    {Key::rightMeta, {Form::csiU, 57452}},
    {Key::isoLevel3Shift, {Form::csiU, 57453}},
    {Key::isoLevel5Shift, {Form::csiU, 57454}},
}};

constexpr bool tableIsInEnumerationOrder()
{
    for (std::size_t i = 0; i < functionalKeyTable.size(); ++i) {
        if (static_cast<std::size_t>(functionalKeyTable[i].key) != i)
            return false;
    }
    return true;
}
static_assert(tableIsInEnumerationOrder());
static_assert(static_cast<int>(Key::isoLevel5Shift) + 1 == kittyFunctionalKeyCount);

} // namespace

KittyFunctionalKeyCode kittyFunctionalKeyCode(KittyFunctionalKey key)
{
    return functionalKeyTable[static_cast<std::size_t>(key)].code;
}

} // namespace kestrix
