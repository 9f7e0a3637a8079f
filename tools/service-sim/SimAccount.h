#pragma once

#include <QString>

// One user account of the simulated service: what logs in (company key, user name, password) and
// what the login answers with.
struct SimAccount
{
    QString entkey;
    QString userName;
    QString password;
    QString entId;
    QString userId;
    QString entname;
    QString email;
};
