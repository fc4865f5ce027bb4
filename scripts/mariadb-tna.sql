-- The panel database "tna" of the private test server (scripts/mariadb start loads it afresh):
-- the tables and columns quarn reads, with sample rows for one hosting domain and the awkward
-- cases the tests need (NULL values, a login holding a quote and a backslash, non-ASCII text).

DROP DATABASE IF EXISTS tna;
CREATE DATABASE tna CHARACTER SET utf8 COLLATE utf8_general_ci;
USE tna;

CREATE TABLE clients (
  id INT UNSIGNED NOT NULL PRIMARY KEY,
  login VARCHAR(64) NOT NULL
);

CREATE TABLE accounts (
  id INT UNSIGNED NOT NULL PRIMARY KEY,
  password VARCHAR(255) NULL
);

CREATE TABLE sys_users (
  id INT UNSIGNED NOT NULL PRIMARY KEY,
  login VARCHAR(64) NOT NULL,
  account_id INT UNSIGNED NULL,
  home VARCHAR(255) NULL,
  shell VARCHAR(255) NULL,
  UNIQUE KEY (login)
);

CREATE TABLE domains (
  id INT UNSIGNED NOT NULL PRIMARY KEY,
  name VARCHAR(255) NOT NULL,
  cl_id INT UNSIGNED NOT NULL,
  UNIQUE KEY (name)
);

CREATE TABLE hosting (
  dom_id INT UNSIGNED NOT NULL PRIMARY KEY,
  sys_user_id INT UNSIGNED NOT NULL,
  fp VARCHAR(8) NULL,
  server_id INT UNSIGNED NULL,
  asp_dot_net VARCHAR(8) NULL
);

CREATE TABLE subdomains (
  id INT UNSIGNED NOT NULL PRIMARY KEY,
  dom_id INT UNSIGNED NOT NULL,
  name VARCHAR(255) NOT NULL,
  sys_user_id INT UNSIGNED NULL,
  fp VARCHAR(8) NULL,
  server_id INT UNSIGNED NULL
);

CREATE TABLE web_users (
  id INT UNSIGNED NOT NULL PRIMARY KEY,
  dom_id INT UNSIGNED NOT NULL,
  sys_user_id INT UNSIGNED NOT NULL
);

CREATE TABLE dom_param (
  dom_id INT UNSIGNED NOT NULL,
  param VARCHAR(64) NOT NULL,
  val VARCHAR(255) NULL,
  PRIMARY KEY (dom_id, param)
);

CREATE TABLE cl_param (
  cl_id INT UNSIGNED NOT NULL,
  param VARCHAR(64) NOT NULL,
  val VARCHAR(255) NULL,
  PRIMARY KEY (cl_id, param)
);

INSERT INTO clients (id, login) VALUES
  (1, 'exampleclient'),
  (2, 'otherclient');

INSERT INTO accounts (id, password) VALUES
  (1, 'example-secret'),
  (2, 'blog-secret'),
  (3, NULL),
  (5, 'quote-secret'),
  (6, 'decoy-secret'),
  (7, 'umlaut-secret');

-- id 4 is the row of NULLs: no account, no home, no shell.
INSERT INTO sys_users (id, login, account_id, home, shell) VALUES
  (1, 'exampleuser', 1, 'C:\\inetpub\\vhosts\\example.com', 'C:\\Windows\\System32\\cmd.exe'),
  (2, 'blogexample', 2, 'C:\\inetpub\\vhosts\\example.com\\subdomains\\blog', 'Login Disabled'),
  (3, 'webexample', 3, 'C:\\inetpub\\vhosts\\example.com\\web_users\\web', 'login disabled'),
  (4, 'nullrow', NULL, NULL, NULL),
  (5, 'o''quote\\back', 5, 'C:\\inetpub\\vhosts\\quote.example', 'C:\\Windows\\System32\\cmd.exe'),
  (6, 'o\\''quote\\back', 6, 'C:\\inetpub\\vhosts\\decoy.example', 'C:\\Windows\\System32\\cmd.exe'),
  (7, 'jürgen', 7, 'C:\\inetpub\\vhosts\\müller.example', 'C:\\Windows\\System32\\cmd.exe'),
  (8, 'otheruser', NULL, 'C:\\inetpub\\vhosts\\other.example', 'C:\\Windows\\System32\\cmd.exe'),
  (9, 'averyverylonglogin', NULL, NULL, NULL);

INSERT INTO domains (id, name, cl_id) VALUES
  (1, 'example.com', 1),
  (2, 'other.example', 2),
  -- A name holding a quote and a backslash, and its decoy that a naive escape would find.
  (3, 'o''quote.example', 1),
  (4, 'o\\''quote.example', 2);

INSERT INTO hosting (dom_id, sys_user_id, fp, server_id, asp_dot_net) VALUES
  (1, 1, 'true', 11, 'true'),
  (2, 8, 'false', NULL, 'true'),
  (3, 5, NULL, NULL, 'true'),
  (4, 6, NULL, NULL, 'false');

INSERT INTO subdomains (id, dom_id, name, sys_user_id, fp, server_id) VALUES
  (1, 1, 'blog', 2, 'TRUE', 12),
  (2, 1, 'shop', NULL, NULL, NULL),
  (3, 3, 'long', 9, 'false', 13);

INSERT INTO web_users (id, dom_id, sys_user_id) VALUES
  (1, 1, 3);

INSERT INTO dom_param (dom_id, param, val) VALUES
  (1, 'iis_app_pool', 'true'),
  (2, 'iis_app_pool', 'false');

INSERT INTO cl_param (cl_id, param, val) VALUES
  (1, 'iis_app_pool', 'false'),
  (2, 'iis_app_pool', 'true');

-- The panel's login (TARNIS_DATABASE_LOGIN "admin"; password "pwd" of the management service).
CREATE OR REPLACE USER 'admin'@'127.0.0.1' IDENTIFIED BY 'setup';
CREATE OR REPLACE USER 'admin'@'localhost' IDENTIFIED BY 'setup';
GRANT ALL PRIVILEGES ON tna.* TO 'admin'@'127.0.0.1';
GRANT ALL PRIVILEGES ON tna.* TO 'admin'@'localhost';
