#pragma once

#include <string>

class Driver;

// Walks through every window of the program with sample input and saves a
// picture of each: PREFIX + "main-window.png", "about.png", "create-user.png",
// "login.png" and "change-password.png".
void TakePictures(Driver& driver, const std::string& prefix);
