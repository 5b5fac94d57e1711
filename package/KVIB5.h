// Entry points of the component package KVIB5 (parser, dataset and their
// English messages).
//
// The package binds its language library itself when it is loaded: under a
// German user language, KVIB5.de beside the package's file supplies the
// dataset's messages until the package is unloaded. Initialize and Finalize
// are for whoever loads the package by hand; unloading runs Finalize anyway.
#pragma once

extern "C" {

// Binds the language library again after Finalize; does nothing when bound.
void Initialize();
// Takes the package's classes off the palette and out of the class
// registry, removes the language binding and frees the language library.
void Finalize();
// Puts the dataset on the palette page "KVDB".
void Register();
// Raises the dataset's error Code (EIBRVError), with Argument when it is not
// null: for hosts that reach the package through its C entries only.
void KVIB5RaiseError(unsigned char Code, const char* Argument);
}
