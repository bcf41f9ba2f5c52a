#include "widget/SourceTransfer.h"

std::unique_ptr<TInetThread> StartSourceRequest(HWND targetWindow, UINT doneMessage, const TSourceRequest& source) {
  try {
    auto worker = std::make_unique<TInetThread>(targetWindow, InternetRoot(), doneMessage);
    TRequest& request = worker->Request();
    request.SetField(rfHost, source.Host);
    request.SetField(rfPath, source.Path);
    request.SetField(rfMethod, source.Method);
    request.SetField(rfAccept, source.Accept);
    request.SetField(rfContentType, source.ContentType);
    request.Body = source.Body;
    request.KeyHeaders = source.KeyHeaders;
    // A source sends a body only to carry its key (a token form), never anything else.
    request.BodyCarriesKey = !source.Body.empty();
    worker->Resume();
    return worker;
  } catch (...) {
    return nullptr;
  }
}

TTransferResult TransferOf(TInetThread& worker) {
  TTransferResult t;
  const TResponse& response = worker.Request().Response();
  t.Ok = worker.Result() == INET_OK;
  t.Status = response.Status;
  t.Error = response.Error;
  t.Body = response.Text();
  t.RetryAfter = response.RetryAfter;
  return t;
}
