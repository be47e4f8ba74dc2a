// Awaiting the forms module: the entry point links against the dialog-state store, which the forms
// module supplies. Until it lands, storing does nothing; the forms module's file replaces this one.
#include "forms/statestore.h"

void StateStore::storeDialog(QWidget *)
{
}
