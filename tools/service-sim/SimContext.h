#pragma once

#include <QString>

class AccountStore;
class FaultPlan;
class HttpEndpoint;
class JobRegistry;
class KeyPairIssuer;
class RequestLog;

// What the simulator shares with its components: the service's state, the request record, the
// faults in force and the API's HTTP endpoint (for routes on the API port). Owned by
// ServiceSimulator, valid from a component's start() to its stop(). Main thread only.
struct SimContext
{
    QString bindAddress;
    AccountStore &accounts;
    KeyPairIssuer &keys;
    JobRegistry &jobs;
    RequestLog &requests;
    FaultPlan &faults;
    HttpEndpoint &apiEndpoint;
};
