// Tarvex Serial's form: without the Bluetooth LE row along the bottom edge
// the window is shorter, and the controls on the left and the big labels
// take slightly different bounds.
#include "variants/BuildVariant.h"

#include "form/Form1.h"

void ApplyBuildBounds(TForm1& form) {
    struct TBounds {
        TControl* Control;
        int Left, Top, Width, Height;
    };
    const TBounds bounds[] = {
        {form.ComboBox1, 10, 32, 87, 28},    {form.Button1, 102, 32, 87, 28},
        {form.ButtonSave, 10, 65, 87, 28},   {form.Button2, 102, 65, 87, 28},
        {form.ButtonClear, 10, 100, 87, 28}, {form.Memo1, 10, 135, 87, 380},
        {form.Label2, 210, 34, 248, 117},    {form.Label15, 210, 151, 251, 76},
        {form.Label17, 536, 166, 81, 46},    {form.Label20, 181, 273, 553, 25},
    };
    for (const TBounds& b : bounds) b.Control->SetBounds(b.Left, b.Top, b.Width, b.Height);
}
