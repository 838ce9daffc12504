#include "typeresponse.h"

void registerTypeResponseMetaType()
{
    qRegisterMetaType<TypeResponse>("TypeResponse");
}
