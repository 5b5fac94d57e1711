#include "IBRowvaneKV.h"

#include <cassert>

EIBRVError::EIBRVError(TIBRVError Code, std::initializer_list<TVarRec> Args) : EDatabaseError(), ErrorCode(Code) {
    assert(Args.size() <= 1);
    if (const TResStringRec* rec = IbconstkvMessage(Code)) SetMessage(LoadResString(rec));
    if (Args.size() != 0) SetMessage(SubstituteArg(Message(), VarRecToString(*Args.begin())));
}
